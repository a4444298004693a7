#include "launchers/tool_launcher.h"

#include <cstdio>

#include "framework/event_flag_listener.h"
#include "framework/zekmain.h"

int runToolLauncher(int argc, char** argv, const char* appName, bool withFlagListener) {
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
