// dravik: starts the design suite; answers GUI event 61 for the whole run.
#include "launchers/tool_launcher.h"

int main(int argc, char** argv) {
  return runToolLauncher(argc, argv, "Dravik", true);
}
