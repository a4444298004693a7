#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

#include <boost/filesystem.hpp>

namespace kvelfuzz {

namespace fs = boost::filesystem;

// Swallows everything written to it.
class NullBuffer : public std::streambuf {
protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

void setUp() {
  // fd 1 goes to /dev/null. fd 2 stays: libFuzzer and the sanitizers report
  // there, and the code under test writes its errors through std::cerr,
  // which is pointed at a null buffer instead.
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) {
    ::dup2(null, 1);
    ::close(null);
  }
  static NullBuffer nothing;
  std::cerr.rdbuf(&nothing);
  std::clog.rdbuf(&nothing);
  const fs::path root = fs::temp_directory_path() / fs::unique_path("kvel-fuzz-%%%%-%%%%-%%%%");
  fs::create_directories(root / "work");
  fs::create_directories(root / "data1" / "lib");
  fs::create_directories(root / "data2");
  std::FILE* file = std::fopen((root / "data1" / "lib" / "a.vhd").c_str(), "w");
  if (file) std::fclose(file);
  file = std::fopen((root / "data2" / "b.v").c_str(), "w");
  if (file) std::fclose(file);
  fs::current_path(root / "work");

  const std::string dataDirs = (root / "data1").string() + ";" + (root / "data2").string() +
                               ";relative//dir;;" + (root / "data1").string() + "//lib";
  ::setenv("ZEK_DATADIR", dataDirs.c_str(), 1);
  ::setenv("HOME", "/home/fuzz", 1);
  ::setenv("SEED", "7", 1);
  ::setenv("A", "a b", 1);
  ::setenv("DOLLAR", "$SEED", 1);
  ::setenv("BRACE", "${A}", 1);
  ::setenv("QUOTE", "\"x\"", 1);
  ::setenv("DASH", "-f", 1);
  ::unsetenv("UNSET");
  ::setenv("EMPTY", "", 1);
}

void writeFile(const std::string& path, const char* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

std::vector<std::string> cut(const std::uint8_t* data, std::size_t size,
                             const std::string& separator, std::size_t maxPieces) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (pieces.size() + 1 < maxPieces) {
    const std::size_t found = text.find(separator, start);
    if (found == std::string_view::npos) break;
    pieces.emplace_back(text.substr(start, found - start));
    start = found + separator.size();
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

}  // namespace kvelfuzz
