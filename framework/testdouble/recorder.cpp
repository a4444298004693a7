#include "framework/testdouble/controls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

// The record's bytes are compared by tests: never let a text-mode open add CRs.
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace zekdouble {
namespace {

std::vector<Fields>& memory() {
  static std::vector<Fields> lines;
  return lines;
}

// One line of fields, escaped as recorder.h describes.
std::string escapeLine(const Fields& fields) {
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i)
      out += '\t';
    for (char c : fields[i]) {
      if (c == '\\')
        out += "\\\\";
      else if (c == '\t')
        out += "\\t";
      else if (c == '\n')
        out += "\\n";
      else
        out += c;
    }
  }
  return out;
}

// The fields of a line that escapeLine wrote.
Fields splitLine(const std::string& line) {
  Fields fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      char n = line[++i];
      fields.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// True when ZEKDOUBLE_FAIL names `operation`.
bool shouldFail(const char* operation) {
  const char* list = std::getenv("ZEKDOUBLE_FAIL");
  if (!list)
    return false;
  std::string names = std::string(",") + list + ",";
  return names.find(std::string(",") + operation + ",") != std::string::npos;
}

}  // namespace

void record(const Fields& fields) {
  memory().push_back(fields);
  const char* path = std::getenv("ZEKDOUBLE_RECORD");
  if (!path || !*path)
    return;
  std::string line = escapeLine(fields) + "\n";
  int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_BINARY, 0644);
  if (fd < 0)
    return;
  ssize_t written = ::write(fd, line.data(), line.size());
  (void)written;
  ::close(fd);
}

std::vector<Fields> calls() {
  return memory();
}

void clearCalls() {
  memory().clear();
}

std::vector<Fields> readRecordFile(const std::string& path) {
  std::vector<Fields> out;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line))
    out.push_back(splitLine(line));
  return out;
}

void failIfAsked(const char* operation) {
  if (shouldFail(operation))
    throw std::runtime_error(std::string("test double: ") + operation + " fails as asked");
}

}  // namespace zekdouble
