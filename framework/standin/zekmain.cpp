// Being written.
#include "framework/zekmain.h"
namespace zekmain { int main(int, char**, const char*, TclInitProc) { return 1; } }
