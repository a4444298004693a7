// The tests' process runner and file helpers: the parts every platform shares.
#include "tests/support/test_process.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <boost/filesystem.hpp>

namespace testsupport {

TempDir::~TempDir() {
  boost::system::error_code ec;
  boost::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& relative) const {
  return path_ + "/" + relative;
}

void writeFile(const std::string& path, const std::string& content) {
  boost::filesystem::path p(path);
  if (p.has_parent_path())
    boost::filesystem::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options) {
  return runWithArgv0(program, program, args, options);
}

}  // namespace testsupport
