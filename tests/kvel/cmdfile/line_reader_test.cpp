// Block-wise line reading against std::getline, over block boundaries.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/cmdfile/line_reader.h"
#include "tests/support/test_process.h"

namespace {

using Lines = std::vector<std::string>;

// In text mode, as the reader's file is opened (on Windows: CR LF gives "\n"
// and Ctrl-Z ends the file).
Lines readWithGetline(const std::string& fileName) {
  Lines lines;
  std::ifstream file(fileName);
  std::string line;
  while (std::getline(file, line)) lines.push_back(line);
  return lines;
}

Lines readInBlocks(const std::string& fileName, std::size_t blockSize, int& readError,
                   unsigned long long sizeHint = 0) {
  Lines lines;
  std::FILE* file = std::fopen(fileName.c_str(), "r");
  if (file == nullptr) return lines;
  KVEL::LineReader reader(file, sizeHint, blockSize);
  std::string_view line;
  while (reader.next(line)) lines.emplace_back(line);
  readError = reader.readError();
  std::fclose(file);
  return lines;
}

TEST(LineReader, GivesTheLinesOfGetlineForAnyBlockSize) {
  testsupport::TempDir temp;
  const std::string name = temp.file("lines.txt");
  std::mt19937 random(11);
  std::uniform_int_distribution<int> lineCount(0, 12);
  std::uniform_int_distribution<int> lineLength(0, 40);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 300; ++round) {
    std::string content;
    for (int n = lineCount(random); n > 0; --n) {
      for (int k = lineLength(random); k > 0; --k) {
        const char c = static_cast<char>(byte(random));
        if (c != '\n') content += c;
      }
      content += (round % 3 == 0 && n == 1) ? "" : "\n";
    }
    testsupport::writeFile(name, content);
    const Lines expected = readWithGetline(name);
    for (const std::size_t blockSize : {1u, 2u, 3u, 7u, 64u, 4096u}) {
      int readError = -1;
      ASSERT_EQ(readInBlocks(name, blockSize, readError), expected)
          << "round " << round << ", block size " << blockSize;
      ASSERT_EQ(readError, 0);
    }
    // A size hint that is right, too small (the file grew) or too large.
    for (const unsigned long long sizeHint : {content.size(), content.size() / 2, content.size() + 9}) {
      int readError = -1;
      ASSERT_EQ(readInBlocks(name, 256 * 1024, readError, sizeHint), expected)
          << "round " << round << ", size hint " << sizeHint;
    }
    int readError = -1;
    ASSERT_EQ(readInBlocks(name, 5, readError, content.size()), expected) << "round " << round;
  }
}

TEST(LineReader, EmptyFileHasNoLines) {
  testsupport::TempDir temp;
  testsupport::writeFile(temp.file("empty"), "");
  int readError = -1;
  EXPECT_TRUE(readInBlocks(temp.file("empty"), 16, readError).empty());
  EXPECT_EQ(readError, 0);
}

TEST(LineReader, ReadErrorEndsTheLines) {
  testsupport::TempDir temp;
  int readError = 0;
  EXPECT_TRUE(readInBlocks(temp.path(), 16, readError).empty());
  if (testsupport::kWindows)  // Windows refuses to open a directory: the reader never gets a file.
    EXPECT_EQ(nullptr, std::fopen(temp.path().c_str(), "r"));
  else
    EXPECT_EQ(readError, EISDIR);
}

// Lines up to the limit pass, with or without a line feed, whatever the
// block size; the first longer line ends the reading.
TEST(LineReader, LineLongerThanTheLimitEndsTheLines) {
  testsupport::TempDir temp;
  const std::string name = temp.file("long.txt");
  const std::string atLimit(10, 'a');
  const struct {
    std::string content;
    Lines expected;
    bool tooLong;
  } cases[] = {
      {atLimit + "\n" + atLimit, {atLimit, atLimit}, false},
      {"b\n" + atLimit + "x\nc\n", {"b"}, true},
      {"b\n" + atLimit + "x", {"b"}, true},
      {std::string(100, 'z') + "\n", {}, true},
  };
  for (const auto& c : cases) {
    testsupport::writeFile(name, c.content);
    for (const std::size_t blockSize : {std::size_t{1}, std::size_t{4}, std::size_t{11},
                                        std::size_t{64}}) {
      std::FILE* file = std::fopen(name.c_str(), "r");
      ASSERT_NE(file, nullptr);
      KVEL::LineReader reader(file, 0, blockSize, 10);
      Lines lines;
      std::string_view line;
      while (reader.next(line)) lines.emplace_back(line);
      EXPECT_FALSE(reader.next(line));
      std::fclose(file);
      EXPECT_EQ(lines, c.expected) << c.content << ", block size " << blockSize;
      EXPECT_EQ(reader.lineTooLong(), c.tooLong) << c.content << ", block size " << blockSize;
      EXPECT_EQ(reader.readError(), 0);
    }
  }
}

}  // namespace
