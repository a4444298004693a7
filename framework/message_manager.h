// Message manager of the framework (library zek_common).
//
// The stand-in's choices, in brief:
// - A handle is an output stream plus a mask; a message goes to every open
//   handle whose mask shares at least one bit with the message's mask.
// - Plain messages are written as the text alone. Scoped messages are written
//   only while their scope is registered with a level no higher than the
//   current visibility (0 at start, so nothing scoped shows by default).
// - The text is a printf format applied to the variadic tail.
// - init() resets handles, scopes and visibility; calls before init() or
//   after uninit() write nothing. init() throws std::runtime_error when the
//   environment variable ZEK_MSG_INIT_FAIL is set, so the failure path of
//   callers can be exercised with the real library.
#ifndef FRAMEWORK_MESSAGE_MANAGER_H
#define FRAMEWORK_MESSAGE_MANAGER_H

#include <ostream>
#include <string>

namespace MessageManager {

enum MsgCache : int { MSG_CACHE_NONE = 0, MSG_CACHE_ALL = 1 };

// Message masks are bit sets; any 32-bit value is valid.
enum MsgMask : unsigned int { MSG_MASK_NONE = 0u, MSG_MASK_ALL = 0xffffffffu };

void init(MsgCache mode, const std::string& config);
void uninit();
unsigned int openHandle(std::ostream& stream, MsgMask mask);
void setVisibility(int level);
void addScope(const std::string& scope, int level);

struct sendMsg {
  static void eval(int id, const char* file, int line, const std::string& category,
                   MsgMask mask, const char* text, ...);
};

struct sendScopedMsg {
  static void eval(int id, const char* file, int line, const std::string& category,
                   const std::string& scope, MsgMask mask, const char* text, ...);
};

}  // namespace MessageManager

#endif
