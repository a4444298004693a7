// Message manager: handles on output streams, each with a mask, a visibility
// level and scopes with levels. See framework/message_manager.h.
#include "framework/message_manager.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <vector>

namespace MessageManager {
namespace {

struct Handle {
  std::ostream* stream;
  MsgMask mask;
};

// The whole state of the manager. The front ends use it from one thread.
struct State {
  bool live = false;
  std::vector<Handle> handles;
  std::map<std::string, int> scopes;
  int visibility = 0;
};

State& state() {
  static State s;
  return s;
}

std::string format(const char* text, va_list args) {
  va_list counting;
  va_copy(counting, args);
  char small[256];
  int needed = std::vsnprintf(small, sizeof small, text, counting);
  va_end(counting);
  if (needed < 0)
    return std::string();
  if (static_cast<std::size_t>(needed) < sizeof small)
    return std::string(small, static_cast<std::size_t>(needed));
  std::vector<char> big(static_cast<std::size_t>(needed) + 1);
  std::vsnprintf(big.data(), big.size(), text, args);
  return std::string(big.data(), static_cast<std::size_t>(needed));
}

// Formats text with its printf tail and writes it to every handle whose mask
// shares a bit with the message's.
void deliver(MsgMask mask, const char* text, va_list args) {
  const std::string message = format(text, args);
  for (const Handle& handle : state().handles) {
    if ((static_cast<unsigned int>(handle.mask) & static_cast<unsigned int>(mask)) == 0)
      continue;
    handle.stream->write(message.data(), static_cast<std::streamsize>(message.size()));
    // Flushed at once: a message may be the last thing a failing process says.
    handle.stream->flush();
  }
}

void reset(bool live) {
  State& s = state();
  s.handles.clear();
  s.scopes.clear();
  s.visibility = 0;
  s.live = live;
}

}  // namespace

void init(MsgCache /*mode*/, const std::string& /*config*/) {
  if (std::getenv("ZEK_MSG_INIT_FAIL"))
    throw std::runtime_error("message manager: initialisation refused (ZEK_MSG_INIT_FAIL is set)");
  reset(true);
}

void uninit() {
  reset(false);
}

unsigned int openHandle(std::ostream& stream, MsgMask mask) {
  State& s = state();
  if (!s.live)
    return 0;
  s.handles.push_back(Handle{&stream, mask});
  return static_cast<unsigned int>(s.handles.size());
}

void setVisibility(int level) {
  if (state().live)
    state().visibility = level;
}

void addScope(const std::string& scope, int level) {
  if (state().live)
    state().scopes[scope] = level;
}

void sendMsg::eval(int /*id*/, const char* /*file*/, int /*line*/, const std::string& /*category*/,
                   MsgMask mask, const char* text, ...) {
  if (!state().live || !text)
    return;
  va_list args;
  va_start(args, text);
  deliver(mask, text, args);
  va_end(args);
}

void sendScopedMsg::eval(int /*id*/, const char* /*file*/, int /*line*/,
                         const std::string& /*category*/, const std::string& scope, MsgMask mask,
                         const char* text, ...) {
  const State& s = state();
  if (!s.live || !text)
    return;
  auto it = s.scopes.find(scope);
  if (it == s.scopes.end() || it->second > s.visibility)
    return;
  va_list args;
  va_start(args, text);
  deliver(mask, text, args);
  va_end(args);
}

}  // namespace MessageManager
