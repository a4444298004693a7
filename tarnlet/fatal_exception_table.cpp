#include "tarnlet/fatal_exception_table.h"

namespace tarnlet {
namespace {

// Searched in this order; the line numbers are fixed report values.
const FatalExceptionRow kRows[kFatalExceptionRowCount] = {
    {kExceptionAccessViolation, 38,
     "The thread tried to read from or write to a virtual address for which it does not have "
     "the appropriate access.\n"},
    {kExceptionFltDivideByZero, 40, "floating pt divide by zero\n"},
    {kExceptionArrayBoundsExceeded, 42,
     "The thread tried to access an array element that is out of bounds and the underlying "
     "hardware supports bounds checking.\n"},
    {kExceptionDatatypeMisalignment, 44,
     "The thread tried to read or write data that is misaligned on hardware that does not "
     "provide alignment. For example, 16-bit values must be aligned on 2-byte boundaries; "
     "32-bit values on 4-byte boundaries, and so on\n"},
    {kExceptionFltDenormalOperand, 46,
     "One of the operands in a floating-point operation is denormal. A denormal value is one "
     "that is too small to represent as a standard floating-point value.\n"},
    {kExceptionFltInexactResult, 48,
     "The result of a floating-point operation cannot be represented exactly as a decimal "
     "fraction.\n"},
    {kExceptionFltInvalidOperation, 50,
     "This exception represents any floating-point exception not included in this list.\n"},
    {kExceptionFltOverflow, 52,
     "The exponent of a floating-point operation is greater than the magnitude allowed by the "
     "corresponding type.\n"},
    {kExceptionFltStackCheck, 54,
     "The stack overflowed or underflowed as the result of a floating-point operation.\n"},
    {kExceptionFltUnderflow, 56,
     "The exponent of a floating-point operation is less than the magnitude allowed by the "
     "corresponding type.\n"},
    {kExceptionIllegalInstruction, 58, "The thread tried to execute an invalid instruction.\n"},
    {kExceptionInPageError, 60,
     "The thread tried to access a page that was not present, and the system was unable to "
     "load the page. For example, this exception might occur if a network connection is lost "
     "while running a program over the network.\n"},
    {kExceptionIntDivideByZero, 62,
     "The thread tried to divide an integer value by an integer divisor of zero.\n"},
    {kExceptionIntOverflow, 64,
     "The result of an integer operation caused a carry out of the most significant bit of the "
     "result.\n"},
    {kExceptionInvalidDisposition, 66,
     "An exception handler returned an invalid disposition to the exception dispatcher. "
     "Programmers using a high-level language such as C should never encounter this "
     "exception.\n"},
    {kExceptionNoncontinuableException, 68,
     "The thread tried to continue execution after a noncontinuable exception occurred.\n"},
    {kExceptionPrivInstruction, 70,
     "The thread tried to execute an instruction whose operation is not allowed in the current "
     "machine mode.\n"},
    {kExceptionStackOverflow, 72, "The thread used up its stack.\n"},
    {kExceptionUnknown, 74, "The thread encounted an unknown type of exception.\n"},
};

}  // namespace

const FatalExceptionRow& fatalExceptionRow(std::uint32_t code) {
  for (std::size_t i = 0; i + 1 < kFatalExceptionRowCount; ++i) {
    if (kRows[i].code == code)
      return kRows[i];
  }
  return kRows[kFatalExceptionRowCount - 1];
}

}  // namespace tarnlet
