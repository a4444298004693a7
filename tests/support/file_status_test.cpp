// File identity and status: one file under each of its names, a name that
// holds another file, and what counts as accessible.
#include "support/file_status.h"

#include <cstdio>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

int descriptorOf(std::FILE* file) {
#ifdef _WIN32
  return _fileno(file);
#else
  return fileno(file);
#endif
}

using OpenFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

OpenFile openFile(const std::string& path) {
  return OpenFile(std::fopen(path.c_str(), "rb"), std::fclose);
}

const char kContent[] = "données кириллица 日本語 🙂";

TEST(FileStatus, OneFileUnderEachOfItsNamesAndNoOther) {
  testsupport::TempDir dir;
  const std::string held = dir.file("é-日本.txt");
  const std::string second = dir.file("второе-имя.txt");
  const std::string other = dir.file("другой 🙂.txt");
  testsupport::writeFile(held, kContent);
  testsupport::writeFile(other, kContent);
  ASSERT_TRUE(testsupport::makeHardLink(held, second));
  const OpenFile file = openFile(held);
  ASSERT_TRUE(file.get());

  // clang-format off
  const struct {
    std::string name;
    bool same;
  } cases[] = {
      {held, true},
      {second, true},
      {dir.path() + "/./é-日本.txt", true},
      {other, false},
      {dir.path(), false},
      {dir.file("missing-é.txt"), false},
      {"", false},
  };
  // clang-format on
  KVEL::FileIdentity heldIdentity;
  unsigned long long heldSize = 0;
  ASSERT_TRUE(KVEL::identifyOpenFile(file.get(), heldIdentity, heldSize));
  EXPECT_EQ(sizeof kContent - 1, heldSize);
  for (const auto& c : cases) {
    EXPECT_EQ(c.same, KVEL::namesOpenFile(c.name, descriptorOf(file.get()))) << c.name;
    const OpenFile again = openFile(c.name);
    if (!again.get() || c.name == dir.path())
      continue;
    KVEL::FileIdentity identity;
    unsigned long long size = 0;
    ASSERT_TRUE(KVEL::identifyOpenFile(again.get(), identity, size)) << c.name;
    EXPECT_EQ(c.same, identity == heldIdentity) << c.name;
    EXPECT_EQ(sizeof kContent - 1, size) << c.name;
  }
}

// A symbolic link is a name of its own, not of the file it leads to.
TEST(FileStatus, ASymbolicLinkIsNotTheFileItLeadsTo) {
  testsupport::TempDir dir;
  const std::string held = dir.file("цель.txt");
  testsupport::writeFile(held, kContent);
  if (!testsupport::makeSymbolicLink(held, dir.file("ссылка")))
    GTEST_SKIP() << testsupport::kNoSymbolicLink;
  const OpenFile file = openFile(held);
  ASSERT_TRUE(file.get());
  EXPECT_FALSE(KVEL::namesOpenFile(dir.file("ссылка"), descriptorOf(file.get())));
}

TEST(FileStatus, ExistingFilesAndDirectoriesAreAccessible) {
  testsupport::TempDir dir;
  testsupport::writeFile(dir.file("a/kvelk.exe"), "");
  testsupport::writeFile(dir.file("каталог/日本.exe"), "");
  // clang-format off
  const struct {
    std::string path;
    bool accessible;
  } cases[] = {
      {dir.file("a/kvelk.exe"), true},
      {dir.file("a"), true},
      {dir.file("каталог/日本.exe"), true},
      {dir.file("a/missing"), false},
      {dir.file("a/kvelk.exe/below"), false},
      {dir.file("каталог/🙂"), false},
      {"", false},
  };
  // clang-format on
  for (const auto& c : cases)
    EXPECT_EQ(c.accessible, KVEL::isAccessible(c.path)) << c.path;
}

}  // namespace
