#include "tarnlet/proxy_probe.h"

#include <cstring>
#include <iostream>
#include <string>

#include "framework/message_manager.h"
#include "framework/quindle_manager.h"
#include "tarnlet/fatal_exception_install.h"

namespace tarnlet {
namespace {

const char* const kVerboseSwitch = "-v";
const unsigned int kOutputMask = 0xff7f7ff0u;
const char* const kVerboseScope = "quindle";
const int kVerboseLevel = 5;

}  // namespace

bool hasVerboseSwitch(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] && std::strcmp(argv[i], kVerboseSwitch) == 0)
      return true;
  }
  return false;
}

int runProxyProbe(int argc, char** argv) {
  installFatalExceptionReport();

  try {
    MessageManager::init(static_cast<MessageManager::MsgCache>(0), std::string());
  } catch (...) {
    return 2;
  }
  MessageManager::openHandle(std::cout, static_cast<MessageManager::MsgMask>(kOutputMask));

  if (hasVerboseSwitch(argc, argv)) {
    try {
      MessageManager::addScope(kVerboseScope, kVerboseLevel);
      MessageManager::setVisibility(kVerboseLevel);
    } catch (...) {
    }
  }

  const std::string settings = QuindleManager::GetProxySettings();

  try {
    MessageManager::uninit();
  } catch (...) {
  }

  if (settings.empty())
    return 1;
  std::cout << "Proxy=" << settings << "\n";
  std::cout.flush();
  // A line that could not be written must not be reported as written.
  return std::cout ? 0 : 1;
}

}  // namespace tarnlet
