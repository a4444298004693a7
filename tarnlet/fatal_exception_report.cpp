#include "tarnlet/fatal_exception_report.h"

#include "framework/message_manager.h"
#include "framework/quindle_manager.h"
#include "tarnlet/fatal_exception_table.h"

namespace tarnlet {

// A fixed relative path, so the report does not depend on the build location.
const char* const kProbeSourcePath = "tarnlet/main.cpp";

namespace {

const int kClosingLine = 77;
const char* const kCategory = "common";
const char* const kScope = "quindle";
const unsigned int kScopedMask = 0x1000001u;
const unsigned int kClosingMask = 0x20000000u;
const char* const kClosingText = "@17-238@\n";

}  // namespace

long fatalExceptionFilter(std::uint32_t exceptionCode) {
  const FatalExceptionRow& row = fatalExceptionRow(exceptionCode);
  // Each step is guarded on its own: the process is dying, and an exception
  // leaving the filter would replace the report of the real fault.
  try {
    MessageManager::sendScopedMsg::eval(0, kProbeSourcePath, row.line, kCategory, kScope,
                                        static_cast<MessageManager::MsgMask>(kScopedMask),
                                        row.text);
  } catch (...) {
  }
  try {
    QuindleManager::setUserEnabled(false);
  } catch (...) {
  }
  try {
    MessageManager::sendMsg::eval(0, kProbeSourcePath, kClosingLine, kCategory,
                                  static_cast<MessageManager::MsgMask>(kClosingMask),
                                  kClosingText);
  } catch (...) {
  }
  return kExceptionExecuteHandler;
}

}  // namespace tarnlet
