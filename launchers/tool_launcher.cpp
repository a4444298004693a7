#include "launchers/tool_launcher.h"

#include <cstdio>

#include <string>

#include "framework/event_flag_listener.h"
#include "framework/zekmain.h"
#include "support/text_check.h"

int runToolLauncher(int argc, char** argv, const char* appName, bool withFlagListener) {
  frontend::showProcessTextOnConsole();
  std::string err;
  if (!frontend::programTextIntact(argc, argv, {"TCL_LIBRARY", "TCLLIBPATH"}, &err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  try {
    if (withFlagListener)
      registerFlagListener();
    return zekmain::main(argc, argv, appName, nullptr);
  } catch (...) {
    // No detail is shown, whatever was thrown.
    std::fputs("Unknown error\n", stderr);
    return 1;
  }
}
