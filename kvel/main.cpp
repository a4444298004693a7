// kvel: the simulator launcher.
#include <cstdio>
#include <string>

#include "kvel/launcher.h"
#include "support/text_check.h"

int main(int argc, char** argv) {
  frontend::showProcessTextOnConsole();
  // Command files may name any variable; these the launch itself relies on.
  std::string err;
  if (!frontend::programTextIntact(argc, argv, {"ZEK_DATADIR", "TCL_LIBRARY", "TCLLIBPATH"},
                                   &err)) {
    std::printf("%s\n", err.c_str());
    return 1;
  }
  return KVEL::runSimulatorLauncher(argc, argv);
}
