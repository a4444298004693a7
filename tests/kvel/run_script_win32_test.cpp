// Run script cases that only make sense on Windows: sharing modes and MAX_PATH.
#include "kvel/run_script.h"

#include <windows.h>

#include "tests/kvel/run_script_fixture.h"

namespace runscripttest {

std::function<void()> hold(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : std::function<void()>([=] { CloseHandle(handle); });
}

const char kReadOnlyReason[] = "it has the read-only attribute";

// Wine makes no symbolic links, FIFOs or second owners.
bool makeSpecial(const std::string& kind, const std::string& path) {
  if (kind != "hard link")
    return false;
  testsupport::writeFile(path + ".other", "a file of the user's\n");
  return testsupport::makeHardLink(path + ".other", path);
}

namespace {

using testsupport::onDisk;
using testsupport::readFile;

// A script another process holds open with read and write sharing,
// which blocks its replacement but not a plain write, is written in place.
TEST_F(RunScript, ScriptHeldOpenForWritingIsWrittenInPlace) {
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  HANDLE held = CreateFileA("kvel.dir/top/kvel_script.tcl", GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  KVEL::writeRunScript(options_, "top", "{top} -testplusarg \xe4\xb8\xad -autoloadwcfg");
  CloseHandle(held);
  EXPECT_EQ(onDisk("kvel {top} -testplusarg \xe4\xb8\xad -autoloadwcfg\n"),
            readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// Where only the temporary's longer name passes MAX_PATH, the script is
// written in place.
TEST_F(RunScript, TemporaryNamePastTheLimitWritesInPlace) {
  char buffer[MAX_PATH];
  const DWORD here = GetCurrentDirectoryA(MAX_PATH, buffer);
  ASSERT_GT(here, 0u);
  // <here>\kvel.dir/<snapshot>/kvel_script.tcl: 255 characters in all.
  const std::size_t length = 255 - here - std::string("\\kvel.dir//kvel_script.tcl").size();
  ASSERT_LT(length, 200u) << "the test folder's path is too long";
  const std::string snapshot(length, 's'), script = "kvel.dir/" + snapshot + "/kvel_script.tcl";
  const std::string listed = "kvel.dir/" + snapshot;
  const std::vector<std::string> left{"kvel_script.tcl"};
  expectWrittenWhole(snapshot, script, listed, left);
}

}  // namespace
}  // namespace runscripttest
