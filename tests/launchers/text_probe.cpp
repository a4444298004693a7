// Runs the front ends' text check on its own arguments and on TEXT_PROBE and
// reports the result: the process code page ("0" where there is none), then
// the error line if the check failed (status 1).
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "framework/text_check.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  std::printf("%u\n", ::GetACP());
#else
  std::printf("0\n");
#endif
  std::string err;
  if (!frontend::programTextIntact(argc, argv, {"TEXT_PROBE"}, &err)) {
    std::printf("%s\n", err.c_str());
    return 1;
  }
  return 0;
}
