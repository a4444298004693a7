// Run script cases that only make sense on Windows: sharing modes and MAX_PATH.
#include "kvel/run_script.h"

#include <windows.h>

#include <algorithm>

#include "kvel/launcher.h"
#include "support/fs/long_path.h"
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
  launch("top", "{top} -autoloadwcfg");
  HANDLE held = CreateFileA("kvel.dir/top/kvel_script.tcl", GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  launch("top", "{top} -testplusarg \xe4\xb8\xad -autoloadwcfg");
  CloseHandle(held);
  EXPECT_EQ(onDisk("kvel {top} -testplusarg \xe4\xb8\xad -autoloadwcfg\n"),
            readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// A script path just under MAX_PATH, where a temporary's name could pass it:
// the steps take the "\\?\" form, and nothing is left beside the script.
TEST_F(RunScript, PathJustUnderMaxPathIsWrittenWhole) {
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

// A script a plain write would refuse is left as it is, with the reason
// before the script message: held open by another process without write
// sharing, or with the read-only attribute.
TEST_F(RunScript, RefusedScriptGivesTheReason) {
  const struct {
    const char* what;
    std::function<std::function<void()>()> refuse;  // returns what undoes it
    std::string reason;
  } cases[] = {
      {"held without write sharing",
       [] {
         HANDLE held = CreateFileA("kvel.dir/top/kvel_script.tcl", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
         return std::function<void()>([=] { CloseHandle(held); });
       },
       "it is in use by another process"},
      {"read-only attribute",
       [] {
         SetFileAttributesA("kvel.dir/top/kvel_script.tcl", FILE_ATTRIBUTE_READONLY);
         return std::function<void()>(
             [] { SetFileAttributesA("kvel.dir/top/kvel_script.tcl", FILE_ATTRIBUTE_NORMAL); });
       },
       "it has the read-only attribute"},
  };
  for (const auto& c : cases) {
    launch("top", "{top} -testplusarg OLD=\xd0\x96 -autoloadwcfg");
    const std::function<void()> undo = c.refuse();
    const std::string err = failure("top", "{top} -autoloadwcfg");
    undo();
    EXPECT_EQ("ERROR: Cannot write kvel.dir/top/kvel_script.tcl: " + c.reason + ".\n" + kScriptError, err)
        << c.what;
    EXPECT_EQ(onDisk("kvel {top} -testplusarg OLD=\xd0\x96 -autoloadwcfg\n"),
              readFile("kvel.dir/top/kvel_script.tcl"))
        << c.what;
    EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top")) << c.what;
  }
}

// Reads a file through the wide call on its "\\?\" form.
std::string readLong(const std::string& path) {
  HANDLE file = CreateFileW(KVEL::longPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  std::string content;
  char buffer[4096];
  DWORD got = 0;
  while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    content.append(buffer, got);
  if (file != INVALID_HANDLE_VALUE)
    CloseHandle(file);
  return content;
}

// Names in a folder, through the wide calls.
std::vector<std::string> listLong(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((KVEL::longPathForm(folder) + L"\\*").c_str(), &found);
  while (search != INVALID_HANDLE_VALUE) {
    const std::string name = KVEL::toNarrow(found.cFileName);
    if (name != "." && name != "..")
      names.push_back(name);
    if (!FindNextFileW(search, &found))
      break;
  }
  if (search != INVALID_HANDLE_VALUE)
    FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// Paths past MAX_PATH (text beyond ASCII in them): the kernel of a snapshot
// is found, the script's folders are made and the script is replaced, with
// no temporary left; narrow calls of the C runtime cannot even see them.
TEST_F(RunScript, PathsPastMaxPathWork) {
  std::string cyrillic, cjk;
  for (int i = 0; i < 90; ++i)
    cyrillic += "\xd0\x96";
  for (int i = 0; i < 60; ++i)
    cjk += "\xe4\xb8\xad";
  const std::string snapshot = std::string(90, 'a') + "/" + cyrillic + "/" + cjk + "\xf0\x9f\x98\x80";
  const std::string folder = "kvel.dir/" + snapshot;
  ASSERT_GT(KVEL::longPathForm(folder + "/kvel_script.tcl").size(), 4u + MAX_PATH);
  for (const char* text : {"{s} -autoloadwcfg", "{s} -testplusarg \xf0\x9f\x98\x80 -autoloadwcfg"}) {
    KVEL::RunScript script;
    std::string err;
    ASSERT_TRUE(script.write(options_, snapshot, text, &err)) << err;
    EXPECT_EQ(folder + "/kvel_script.tcl", script.recordPath());
    EXPECT_EQ(onDisk("kvel " + std::string(text) + "\n"), readLong(script.recordPath())) << text;
    EXPECT_EQ(readLong(script.recordPath()), readLong(script.path())) << text;
  }
  EXPECT_EQ(std::vector<std::string>{"kvel_script.tcl"}, listLong(folder));
  HANDLE kernel = CreateFileW(KVEL::longPathForm(folder + "/kvelk.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, kernel);
  CloseHandle(kernel);
  std::string target = snapshot, err;
  EXPECT_TRUE(KVEL::checkTarget(target, &err)) << err;
  EXPECT_EQ(snapshot, target);
}

// Windows takes "\" for a separator and drops trailing dots and blanks from
// names, so ".. " and "..." would lead out of kvel.dir too: they are written
// with "%2E" for each dot, and nothing is made outside the working folder.
TEST_F(RunScript, WindowsParentReferencesStayBeneathKvelDir) {
  const struct {
    const char* snapshot;
    const char* directory;
  } cases[] = {
      {"a\\..\\b.wdb", "kvel.dir/a\\%2E%2E\\b.wdb"},
      {".. /x.wdb", "kvel.dir/%2E%2E /x.wdb"},
      {".../\xd0\x96.wdb", "kvel.dir/%2E%2E%2E/\xd0\x96.wdb"},
      {"..\\..\\own\\w.wdb", "kvel.dir/%2E%2E\\%2E%2E\\own\\w.wdb"},
  };
  fs::create_directories("run");
  ASSERT_EQ(0, ::chdir("run"));
  for (const auto& c : cases) {
    EXPECT_EQ(c.directory, KVEL::scriptDirectory(c.snapshot)) << c.snapshot;
    KVEL::RunScript script;
    std::string err;
    EXPECT_TRUE(script.write(options_, c.snapshot, "{x}", &err)) << c.snapshot << err;
    EXPECT_EQ(onDisk("kvel {x}\n"), readFile(script.recordPath())) << c.snapshot;
    EXPECT_EQ(onDisk("kvel {x}\n"), readFile(script.path())) << c.snapshot;
  }
  EXPECT_EQ(std::vector<std::string>{"kvel.dir"}, entries("."));
  ASSERT_EQ(0, ::chdir(".."));
  EXPECT_EQ(std::vector<std::string>{"run"}, entries("."));
}

}  // namespace
}  // namespace runscripttest
