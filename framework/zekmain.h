// Shell entry of the framework (library zek_commonmain).
#ifndef FRAMEWORK_ZEKMAIN_H
#define FRAMEWORK_ZEKMAIN_H

struct Tcl_Interp;

namespace zekmain {

// Tcl initialisation callback; the front ends always pass null.
typedef int (*TclInitProc)(Tcl_Interp* interp);

// Runs the application shell named appName with the given arguments and
// returns its exit status. argv[0] is the program path.
int main(int argc, char** argv, const char* appName, TclInitProc initProc);

}  // namespace zekmain

#endif
