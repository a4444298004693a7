// Which platform the tests run on, and every reason a test or a row is
// skipped on one platform, in one place: the texts are what the test logs show.
// Whole tests that need POSIX (fork, ulimit, /dev/full, signals) are not
// skipped but live in *_posix_test.cpp files, which the Windows build does
// not list (see tests/CMakeLists.txt); Windows-only ones in *_win32_test.cpp.
#ifndef TESTS_SUPPORT_PLATFORM_SKIPS_H
#define TESTS_SUPPORT_PLATFORM_SKIPS_H

#include <algorithm>
#include <vector>

namespace testsupport {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// What a parent sees of exit(status): all 32 bits on Windows, the low 8 bits
// elsewhere.
constexpr int seenExitStatus(int status) { return kWindows ? status : status & 0xFF; }

// Where a row of a test table runs.
enum class RunsOn { kEverywhere, kPosix, kWindows };

constexpr bool runsHere(RunsOn on) {
  return on == RunsOn::kEverywhere || (on == RunsOn::kWindows) == kWindows;
}

// The rows that run here (those whose `on` says so), in their order.
template <class Row>
std::vector<Row> rowsRunningHere(std::vector<Row> rows) {
  rows.erase(std::remove_if(rows.begin(), rows.end(), [](const Row& row) { return !runsHere(row.on); }),
             rows.end());
  return rows;
}

// Skipped on Windows.
constexpr char kNoSymbolicLink[] =
    "no symbolic link can be made here (Wine makes none; Windows needs the privilege)";
constexpr char kNoEmptyVariable[] =
    "the Windows C runtime cannot hold a variable defined empty: setting one to \"\" removes it";
constexpr char kNoFailingStatusQuery[] =
    "Boost.Filesystem on Windows takes a too-long name for a missing file, so no status query "
    "fails here";

// Skipped elsewhere than on Windows.
constexpr char kTclLibraryAlwaysFound[] =
    "the system's Tcl always finds the library it was installed with";
constexpr char kNoProcessCodePage[] =
    "the system encoding follows the locale; Windows has the process code page";

}  // namespace testsupport

#endif
