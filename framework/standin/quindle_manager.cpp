// Usage-statistics manager: proxy settings from the environment and the
// user's on/off choice.
#include "framework/quindle_manager.h"

#include <atomic>
#include <cstdlib>

namespace {

// Usage statistics are on until switched off. Atomic, so that a fatal-error
// report may switch them off from any thread or a signal handler.
std::atomic<bool> gUserEnabled(true);

}  // namespace

// The text is the value of the first non-empty proxy variable, in the order
// the usual network tools honour them (https before http, then all_proxy,
// lower case before upper case), e.g. "http://proxy:3128".
std::string QuindleManager::GetProxySettings() {
  static const char* const kVariables[] = {"https_proxy", "HTTPS_PROXY", "http_proxy",
                                           "HTTP_PROXY",  "all_proxy",   "ALL_PROXY"};
  for (const char* name : kVariables) {
    const char* value = std::getenv(name);
    if (value && *value)
      return value;
  }
  return std::string();
}

bool QuindleManager::setUserEnabled(bool enabled) {
  return gUserEnabled.exchange(enabled);
}
