// Runs the front ends' text check on its own arguments and on TEXT_PROBE and
// reports the result: the process code page ("0" where there is none), then
// the error line if the check failed (status 1).
#include <cstdio>
#include <string>

#include "support/text_check.h"
#include "tests/support/test_process.h"

int main(int argc, char** argv) {
  std::printf("%u\n", testsupport::processCodePage());
  std::string err;
  if (!frontend::programTextIntact(argc, argv, {"TEXT_PROBE"}, &err)) {
    std::printf("%s\n", err.c_str());
    return 1;
  }
  return 0;
}
