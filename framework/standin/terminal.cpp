#include "framework/standin/terminal.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zekshell {

bool standardInputIsTerminal() {
#ifdef _WIN32
  return _isatty(0) != 0;
#else
  return ::isatty(0) != 0;
#endif
}

}  // namespace zekshell
