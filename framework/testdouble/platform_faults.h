// The platform's part of the test double's fault injection: what differs
// between POSIX and Windows in raising a real fault or a hang.
#ifndef FRAMEWORK_TESTDOUBLE_PLATFORM_FAULTS_H
#define FRAMEWORK_TESTDOUBLE_PLATFORM_FAULTS_H

namespace zekdouble {

// Unmasks the floating-point divide-by-zero trap for this thread.
void enableFloatDivideTrap();

// Touches a mapping past the end of its file (SIGBUS). Windows has no bus
// error: there it does nothing.
void busError();

// Waits without end.
[[noreturn]] void waitForever();

}  // namespace zekdouble

#endif
