// POSIX: arguments and environment values are bytes that arrive as they were
// given, and a terminal shows them as its locale says.
#include "support/text_check.h"

namespace frontend {

bool argumentsIntact(int, char**, std::string*) { return true; }

bool environmentIntact(const char*, std::string*) { return true; }

void showProcessTextOnConsole() {}

}  // namespace frontend
