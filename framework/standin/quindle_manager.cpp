// Being written.
#include "framework/quindle_manager.h"
std::string QuindleManager::GetProxySettings() { return ""; }
bool QuindleManager::setUserEnabled(bool) { return true; }
