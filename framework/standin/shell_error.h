// How the shell's error lines begin, wherever they are written.
#ifndef FRAMEWORK_STANDIN_SHELL_ERROR_H
#define FRAMEWORK_STANDIN_SHELL_ERROR_H

namespace zekshell {

constexpr char kShellErrorPrefix[] = "ERROR: [shell] ";

}  // namespace zekshell

#endif
