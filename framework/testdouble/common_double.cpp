// Test double of the message manager and the usage-statistics manager: each
// call is recorded, then fails or faults when the environment asks.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "framework/message_manager.h"
#include "framework/quindle_manager.h"
#include "framework/testdouble/controls.h"

namespace {

std::string hex(unsigned int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", value);
  return buf;
}

void enter(const char* operation) {
  zekdouble::faultIfAsked(operation);
  zekdouble::failIfAsked(operation);
}

}  // namespace

namespace MessageManager {

void init(MsgCache mode, const std::string& config) {
  zekdouble::record({"init", std::to_string(static_cast<int>(mode)), config});
  enter("init");
}

void uninit() {
  zekdouble::record({"uninit"});
  enter("uninit");
}

unsigned int openHandle(std::ostream& stream, MsgMask mask) {
  zekdouble::record({"openHandle", hex(mask), &stream == &std::cout ? "stdout" : "other"});
  enter("openHandle");
  return 1;
}

void setVisibility(int level) {
  zekdouble::record({"setVisibility", std::to_string(level)});
  enter("setVisibility");
}

void addScope(const std::string& scope, int level) {
  zekdouble::record({"addScope", scope, std::to_string(level)});
  enter("addScope");
}

void sendMsg::eval(int id, const char* file, int line, const std::string& category,
                   MsgMask mask, const char* text, ...) {
  zekdouble::record({"sendMsg", std::to_string(id), file ? file : "", std::to_string(line),
                     category, hex(mask), text ? text : ""});
  enter("sendMsg");
}

void sendScopedMsg::eval(int id, const char* file, int line, const std::string& category,
                         const std::string& scope, MsgMask mask, const char* text, ...) {
  zekdouble::record({"sendScopedMsg", std::to_string(id), file ? file : "", std::to_string(line),
                     category, scope, hex(mask), text ? text : ""});
  enter("sendScopedMsg");
}

}  // namespace MessageManager

std::string QuindleManager::GetProxySettings() {
  zekdouble::record({"GetProxySettings"});
  enter("GetProxySettings");
  const char* proxy = std::getenv("ZEKDOUBLE_PROXY");
  return proxy ? proxy : "";
}

bool QuindleManager::setUserEnabled(bool enabled) {
  zekdouble::record({"setUserEnabled", enabled ? "1" : "0"});
  enter("setUserEnabled");
  return true;
}
