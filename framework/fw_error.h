// Framework exception classes (library zek_common).
#ifndef FRAMEWORK_FW_ERROR_H
#define FRAMEWORK_FW_ERROR_H

#include <exception>
#include <string>

class FwErrorBase : public std::exception {
public:
  FwErrorBase(const FwErrorBase& other);
  virtual ~FwErrorBase();
  virtual const char* what() const noexcept override;
  // Writes the message to standard error.
  virtual void print() const;

protected:
  explicit FwErrorBase(const std::string& message);

private:
  std::string message_;
};

// Defined entirely on the front ends' side; adds nothing.
class FwError : public FwErrorBase {
protected:
  explicit FwError(const std::string& message) : FwErrorBase(message) {}
};

class FwAlgException : public FwError {
public:
  explicit FwAlgException(const std::string& message);
};

#endif
