// What an open command file turns out to be: on Windows a serial port is
// refused (its reading would wait for data that may never come), while the
// null device, files and pipes are read.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "kvel/cmdfile/command_file_stream.h"
#include "tests/support/test_process.h"

namespace {

TEST(CommandFileSource, SerialPortIsRefusedOtherSourcesAreRead) {
#ifndef _WIN32
  GTEST_SKIP() << "serial ports are refused on Windows only; elsewhere every source is read";
#else
  testsupport::TempDir temp;
  testsupport::writeFile(temp.file("plain.txt"), "-tp\n");
  const struct {
    std::string name;
    bool readable;
  } cases[] = {{"NUL", true}, {temp.file("plain.txt"), true}, {"\\\\.\\COM1", false}};
  for (const auto& c : cases) {
    std::FILE* file = KVEL::openCommandFile(c.name);
    if (file == nullptr && !c.readable) {
      GTEST_SKIP() << c.name << " cannot be opened here (no serial port), so the check of the "
                   << "open device cannot be shown";
    }
    ASSERT_NE(file, nullptr) << c.name;
    std::string reason;
    EXPECT_EQ(KVEL::isReadableSource(file, &reason), c.readable) << c.name;
    EXPECT_EQ(reason.empty(), c.readable) << c.name << ": " << reason;
    std::fclose(file);
  }
#endif
}

}  // namespace
