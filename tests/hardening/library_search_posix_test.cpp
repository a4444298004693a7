// The programs look for their libraries only in absolute folders. An empty
// or relative entry in a program's or library's search path is the working
// directory (or a folder below it), so a launch in a shared folder would
// load a library that anyone who may write there put in it.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

struct Program {
  const char* name;
  const char* path;
};

// Empty files under the names of libraries every program loads, in the
// working directory and in the folders the loader tries below a relative
// entry: where one is searched, loading stops at it ("file too short").
const char* const kPlanted[] = {"libc.so.6", "libstdc++.so.6", "libm.so.6", "libgcc_s.so.1",
                                "libtcl8.6.so"};
const char* const kBelow[] = {"", "x86_64/", "tls/", "tls/x86_64/"};

TEST(LibrarySearch, NoLibraryIsLoadedFromTheWorkingDirectory) {
  const Program programs[] = {
      {"kvel", KVEL_BIN}, {"dravik", DRAVIK_BIN}, {"quindle", QUINDLE_BIN}, {"tarnlet", TARNLET_BIN}};
  testsupport::TempDir dir;
  for (const char* below : kBelow)
    for (const char* name : kPlanted)
      testsupport::writeFile(dir.file(std::string(below) + name), "");
  testsupport::RunOptions options;
  options.cwd = dir.path();
  options.timeoutSeconds = 60;
  for (const Program& program : programs) {
    SCOPED_TRACE(program.name);
    // No argument: each program starts and ends at once (a usage message or
    // an empty shell session on empty input); what it says is not the point.
    const testsupport::RunResult r = testsupport::run(program.path, {}, options);
    EXPECT_FALSE(r.signaled || r.timedOut);
    EXPECT_EQ(std::string::npos, r.err.find("error while loading shared libraries")) << r.err;
    EXPECT_NE(127, r.exitStatus) << r.err;
  }
}

}  // namespace
