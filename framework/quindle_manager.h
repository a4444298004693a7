// Usage-statistics manager of the framework (library zek_common).
#ifndef FRAMEWORK_QUINDLE_MANAGER_H
#define FRAMEWORK_QUINDLE_MANAGER_H

#include <string>

class QuindleManager {
public:
  // The network proxy settings as text; empty when there are none.
  static std::string GetProxySettings();
  // Switches the user's usage statistics on or off for the life of the
  // process; returns the previous setting.
  static bool setUserEnabled(bool enabled);
};

#endif
