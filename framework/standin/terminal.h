// Whether standard input is an interactive terminal.
#ifndef FRAMEWORK_STANDIN_TERMINAL_H
#define FRAMEWORK_STANDIN_TERMINAL_H

namespace zekshell {

bool standardInputIsTerminal();

}  // namespace zekshell

#endif
