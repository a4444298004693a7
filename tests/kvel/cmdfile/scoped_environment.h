// Test helpers that change the process environment or working directory and
// put it back when they go out of scope.
#ifndef TESTS_KVEL_CMDFILE_SCOPED_ENVIRONMENT_H
#define TESTS_KVEL_CMDFILE_SCOPED_ENVIRONMENT_H

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>
#include "tests/support/test_process.h"

namespace cmdfiletest {

// Sets or unsets variables; restores every touched variable on destruction.
class ScopedEnvironment {
public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        testsupport::setEnvironment(name.c_str(), value->c_str());
      } else {
        testsupport::unsetEnvironment(name.c_str());
      }
    }
  }
  void set(const std::string& name, const std::string& value) {
    remember(name);
    testsupport::setEnvironment(name.c_str(), value.c_str());
  }
  void unset(const std::string& name) {
    remember(name);
    testsupport::unsetEnvironment(name.c_str());
  }

private:
  void remember(const std::string& name) {
    if (saved_.count(name) != 0) return;
    const char* value = std::getenv(name.c_str());
    saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

// Changes the working directory; returns to the previous one on destruction.
class ScopedWorkingDirectory {
public:
  explicit ScopedWorkingDirectory(const std::string& directory) {
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) == nullptr) throw std::runtime_error("getcwd failed");
    previous_ = buffer;
    if (::chdir(directory.c_str()) != 0) throw std::runtime_error("chdir failed: " + directory);
  }
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;
  ~ScopedWorkingDirectory() {
    if (::chdir(previous_.c_str()) != 0) std::abort();
  }

private:
  std::string previous_;
};

}  // namespace cmdfiletest

#endif
