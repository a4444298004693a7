// quindle: starts the usage-statistics tool; registers no event listener.
#include "launchers/tool_launcher.h"

int main(int argc, char** argv) {
  return runToolLauncher(argc, argv, "Quindle", false);
}
