// Shared set-up of the fuzz targets: quiet output, a private working
// directory and a fixed environment.
#ifndef KVEL_TESTS_FUZZ_FUZZ_SUPPORT_H
#define KVEL_TESTS_FUZZ_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvelfuzz {

// Silences the code under test (fd 1 to /dev/null, std::cerr to a null
// buffer; fd 2 stays for libFuzzer's and the sanitizers' reports), makes a fresh temporary directory the current
// directory and sets the environment the targets expand against: a few
// plain variables and ZEK_DATADIR over two temporary data directories that
// hold "lib/a.vhd" and "b.v".
void setUp();

// Writes content to path in the current directory, replacing it.
void writeFile(const std::string& path, const char* data, std::size_t size);

// Cuts data at every occurrence of separator, into at most maxPieces pieces
// (the last piece keeps the rest).
std::vector<std::string> cut(const std::uint8_t* data, std::size_t size,
                             const std::string& separator, std::size_t maxPieces);

}  // namespace kvelfuzz

#endif
