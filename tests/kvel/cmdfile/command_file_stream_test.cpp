// On Windows an open command file that is a serial port is refused (its
// reading would wait for data that may never come); the null device and
// files are read.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "kvel/cmdfile/command_file_stream.h"
#include "tests/support/test_process.h"

namespace {

TEST(CommandFileSource, SerialPortIsRefusedOtherSourcesAreRead) {
#ifndef _WIN32
  GTEST_SKIP() << "serial ports are refused on Windows only";
#else
  testsupport::TempDir temp;
  testsupport::writeFile(temp.file("plain.txt"), "-tp\n");
  for (const std::string& name : {std::string("NUL"), temp.file("plain.txt"), std::string("\\\\.\\COM1")}) {
    const bool port = name.find("COM") != std::string::npos;
    std::FILE* file = KVEL::openCommandFile(name);
    if (file == nullptr && port) GTEST_SKIP() << "no serial port COM1 to open here";
    ASSERT_NE(file, nullptr) << name;
    std::string reason;
    EXPECT_EQ(KVEL::isReadableSource(file, &reason), !port) << name;
    EXPECT_EQ(reason.empty(), !port) << name << ": " << reason;
    std::fclose(file);
  }
#endif
}

}  // namespace
