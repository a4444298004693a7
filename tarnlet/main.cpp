// tarnlet: prints the network proxy settings known to the usage-statistics
// manager as one line "Proxy=<settings>".
#include "tarnlet/proxy_probe.h"

int main(int argc, char** argv) {
  return tarnlet::runProxyProbe(argc, argv);
}
