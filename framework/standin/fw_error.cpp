// Framework exceptions, shared by the stand-in and the test double.
#include "framework/fw_error.h"

#include <cstdio>

FwErrorBase::FwErrorBase(const std::string& message) : message_(message) {}
FwErrorBase::FwErrorBase(const FwErrorBase& other) : std::exception(other), message_(other.message_) {}
FwErrorBase::~FwErrorBase() {}

const char* FwErrorBase::what() const noexcept {
  return message_.c_str();
}

void FwErrorBase::print() const {
  std::fprintf(stderr, "%s\n", message_.c_str());
}

FwAlgException::FwAlgException(const std::string& message) : FwError(message) {}
