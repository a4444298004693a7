// Exception codes of the fatal-exception report and the report's table:
// which text and source line each code is reported with.
#ifndef TARNLET_FATAL_EXCEPTION_TABLE_H
#define TARNLET_FATAL_EXCEPTION_TABLE_H

#include <cstddef>
#include <cstdint>

namespace tarnlet {

// Windows structured-exception codes, as the report knows them.
const std::uint32_t kExceptionAccessViolation = 0xC0000005u;
const std::uint32_t kExceptionFltDivideByZero = 0xC000008Eu;
const std::uint32_t kExceptionArrayBoundsExceeded = 0xC000008Cu;
const std::uint32_t kExceptionDatatypeMisalignment = 0x80000002u;
const std::uint32_t kExceptionFltDenormalOperand = 0xC000008Du;
const std::uint32_t kExceptionFltInexactResult = 0xC000008Fu;
const std::uint32_t kExceptionFltInvalidOperation = 0xC0000090u;
const std::uint32_t kExceptionFltOverflow = 0xC0000091u;
const std::uint32_t kExceptionFltStackCheck = 0xC0000092u;
const std::uint32_t kExceptionFltUnderflow = 0xC0000093u;
const std::uint32_t kExceptionIllegalInstruction = 0xC000001Du;
const std::uint32_t kExceptionInPageError = 0xC0000006u;
const std::uint32_t kExceptionIntDivideByZero = 0xC0000094u;
const std::uint32_t kExceptionIntOverflow = 0xC0000095u;
const std::uint32_t kExceptionInvalidDisposition = 0xC0000026u;
const std::uint32_t kExceptionNoncontinuableException = 0xC0000025u;
const std::uint32_t kExceptionPrivInstruction = 0xC0000096u;
const std::uint32_t kExceptionStackOverflow = 0xC00000FDu;

// A code with no row of its own; reported with the table's last row.
const std::uint32_t kExceptionUnknown = 0xFFFFFFFFu;

struct FatalExceptionRow {
  std::uint32_t code;  // unused in the last row, which matches any code
  int line;
  const char* text;    // ends in a newline
};

// Number of rows, the catch-all last row included.
const std::size_t kFatalExceptionRowCount = 19;

// The row reporting `code`: the first row with that code, else the last row.
const FatalExceptionRow& fatalExceptionRow(std::uint32_t code);

}  // namespace tarnlet

#endif
