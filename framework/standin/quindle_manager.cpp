// Usage-statistics manager: proxy settings from the environment and the
// user's on/off choice.
#include "framework/quindle_manager.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "framework/message_manager.h"

namespace {

// Usage statistics are on until switched off. Atomic, so that a fatal-error
// report may switch them off from any thread or a signal handler.
std::atomic<bool> gUserEnabled(true);

// The mask of the manager's notices.
const unsigned int kNoticeMask = 0x1000001u;

// A value that would not stay one line of output, or names no host, is no
// usable proxy: one holding a control character (a byte below 0x20, such as
// a line break or a tab, or 0x7F), or made only of blanks.
const char* unusableProxyReason(const std::string& value) {
  for (char c : value) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
      return "its value holds a line break or another control character";
  }
  if (value.find_first_not_of(' ') == std::string::npos)
    return "its value is only blanks";
  return nullptr;
}

}  // namespace

// The text is the value of the first proxy variable that is set to a usable
// value, in the order the usual network tools honour them (https before
// http, then all_proxy, lower case before upper case), e.g.
// "http://proxy:3128". An unusable value is passed over like an unset
// variable; with the "quindle" scope visible (tarnlet -v) a message names
// the variable passed over.
std::string QuindleManager::GetProxySettings() {
#ifdef _WIN32
  // Environment names ignore case here: each variable is looked at once.
  static const char* const kVariables[] = {"https_proxy", "http_proxy", "all_proxy"};
#else
  static const char* const kVariables[] = {"https_proxy", "HTTPS_PROXY", "http_proxy",
                                           "HTTP_PROXY",  "all_proxy",   "ALL_PROXY"};
#endif
  for (const char* name : kVariables) {
    const char* value = std::getenv(name);
    if (!value || !*value)
      continue;
    if (const char* reason = unusableProxyReason(value)) {
      const std::string message =
          std::string("INFO: [quindle] proxy variable ") + name + " passed over: " + reason + "\n";
      MessageManager::sendScopedMsg::eval(0, __FILE__, __LINE__, "common", "quindle",
                                          static_cast<MessageManager::MsgMask>(kNoticeMask),
                                          "%s", message.c_str());
      continue;
    }
    return value;
  }
  return std::string();
}

bool QuindleManager::setUserEnabled(bool enabled) {
  return gUserEnabled.exchange(enabled);
}
