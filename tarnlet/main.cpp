// tarnlet: prints the network proxy settings known to the usage-statistics
// manager as one line "Proxy=<settings>".
#include <cstdio>
#include <string>

#include "support/text_check.h"
#include "tarnlet/proxy_probe.h"

int main(int argc, char** argv) {
  frontend::showProcessTextOnConsole();
  // A proxy value that lost a character would send the traffic elsewhere.
  std::string err;
  if (!frontend::programTextIntact(
          argc, argv,
          {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"},
          &err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  return tarnlet::runProxyProbe(argc, argv);
}
