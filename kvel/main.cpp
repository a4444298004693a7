// kvel: the simulator launcher.
#include "kvel/launcher.h"

int main(int argc, char** argv) {
  return KVEL::runSimulatorLauncher(argc, argv);
}
