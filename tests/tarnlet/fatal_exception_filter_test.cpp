// The report as the framework sees it, for every row of the table, through
// the test double linked into this process.
#include "tarnlet/fatal_exception_report.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/testdouble/recorder.h"
#include "tests/support/test_process.h"

namespace tarnlet {
namespace {

using zekdouble::Fields;

struct Row {
  std::uint32_t code;
  int line;
  const char* text;
};

const Row kExpectedRows[] = {
    {0xC0000005u, 38, "The thread tried to read from or write to a virtual address for which it does not have the appropriate access.\n"},
    {0xC000008Eu, 40, "floating pt divide by zero\n"},
    {0xC000008Cu, 42, "The thread tried to access an array element that is out of bounds and the underlying hardware supports bounds checking.\n"},
    {0x80000002u, 44, "The thread tried to read or write data that is misaligned on hardware that does not provide alignment. For example, 16-bit values must be aligned on 2-byte boundaries; 32-bit values on 4-byte boundaries, and so on\n"},
    {0xC000008Du, 46, "One of the operands in a floating-point operation is denormal. A denormal value is one that is too small to represent as a standard floating-point value.\n"},
    {0xC000008Fu, 48, "The result of a floating-point operation cannot be represented exactly as a decimal fraction.\n"},
    {0xC0000090u, 50, "This exception represents any floating-point exception not included in this list.\n"},
    {0xC0000091u, 52, "The exponent of a floating-point operation is greater than the magnitude allowed by the corresponding type.\n"},
    {0xC0000092u, 54, "The stack overflowed or underflowed as the result of a floating-point operation.\n"},
    {0xC0000093u, 56, "The exponent of a floating-point operation is less than the magnitude allowed by the corresponding type.\n"},
    {0xC000001Du, 58, "The thread tried to execute an invalid instruction.\n"},
    {0xC0000006u, 60, "The thread tried to access a page that was not present, and the system was unable to load the page. For example, this exception might occur if a network connection is lost while running a program over the network.\n"},
    {0xC0000094u, 62, "The thread tried to divide an integer value by an integer divisor of zero.\n"},
    {0xC0000095u, 64, "The result of an integer operation caused a carry out of the most significant bit of the result.\n"},
    {0xC0000026u, 66, "An exception handler returned an invalid disposition to the exception dispatcher. Programmers using a high-level language such as C should never encounter this exception.\n"},
    {0xC0000025u, 68, "The thread tried to continue execution after a noncontinuable exception occurred.\n"},
    {0xC0000096u, 70, "The thread tried to execute an instruction whose operation is not allowed in the current machine mode.\n"},
    {0xC00000FDu, 72, "The thread used up its stack.\n"},
};

const char* const kUnknownText = "The thread encounted an unknown type of exception.\n";

std::vector<Fields> reportCalls(std::uint32_t code, long* result) {
  zekdouble::clearCalls();
  *result = fatalExceptionFilter(code);
  return zekdouble::calls();
}

void expectReport(const std::vector<Fields>& calls, int line, const std::string& text) {
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ((Fields{"sendScopedMsg", "0", kProbeSourcePath, std::to_string(line), "common",
                    "quindle", "0x1000001", text}),
            calls[0]);
  EXPECT_EQ((Fields{"setUserEnabled", "0"}), calls[1]);
  EXPECT_EQ((Fields{"sendMsg", "0", kProbeSourcePath, "77", "common", "0x20000000",
                    "@17-238@\n"}),
            calls[2]);
}

class FatalExceptionFilter : public ::testing::Test {
protected:
  void SetUp() override {
    testsupport::unsetEnvironment("ZEKDOUBLE_RECORD");
    testsupport::unsetEnvironment("ZEKDOUBLE_FAULT");
    testsupport::unsetEnvironment("ZEKDOUBLE_FAIL");
  }
  void TearDown() override { testsupport::unsetEnvironment("ZEKDOUBLE_FAIL"); }
};

TEST_F(FatalExceptionFilter, ReportsEachTableCodeWithItsLineAndText) {
  for (const Row& row : kExpectedRows) {
    SCOPED_TRACE(row.line);
    long result = 0;
    expectReport(reportCalls(row.code, &result), row.line, row.text);
    EXPECT_EQ(1, result);
  }
}

TEST_F(FatalExceptionFilter, ReportsAnyOtherCodeAsUnknown) {
  // A C++ exception, a breakpoint, zero, and codes next to table codes.
  for (std::uint32_t code : {0xE06D7363u, 0x80000003u, 0u, 0xC0000004u, 0xC00000FEu,
                             0xC0000097u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(code);
    long result = 0;
    expectReport(reportCalls(code, &result), 74, kUnknownText);
    EXPECT_EQ(1, result);
  }
}

TEST_F(FatalExceptionFilter, FailingFrameworkCallsDoNotStopTheReport) {
  testsupport::setEnvironment("ZEKDOUBLE_FAIL", "sendScopedMsg,setUserEnabled,sendMsg");
  long result = 0;
  std::vector<Fields> calls;
  EXPECT_NO_THROW(calls = reportCalls(0xC0000005u, &result));
  expectReport(calls, 38, kExpectedRows[0].text);
  EXPECT_EQ(1, result);
}

}  // namespace
}  // namespace tarnlet
