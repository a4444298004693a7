// What the double's own functions call: recording a call, and the failure or
// fault the environment asks of it (see recorder.h for the controls).
#ifndef FRAMEWORK_TESTDOUBLE_CONTROLS_H
#define FRAMEWORK_TESTDOUBLE_CONTROLS_H

#include "framework/testdouble/recorder.h"

namespace zekdouble {

// Records one call.
void record(const Fields& fields);

// Throws std::runtime_error when ZEKDOUBLE_FAIL names `operation`.
void failIfAsked(const char* operation);
// Raises the fault that ZEKDOUBLE_FAULT asks of `operation`, if any.
void faultIfAsked(const char* operation);

}  // namespace zekdouble

#endif
