// Reads a file in large blocks and hands out its lines, without their line
// feeds, as views into the block buffer. Gives the same lines as reading with
// std::getline until end of file: a last line without a line feed is handed
// out, NUL bytes stay inside lines, and a read error ends the lines.
#ifndef KVEL_CMDFILE_LINE_READER_H
#define KVEL_CMDFILE_LINE_READER_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>

namespace KVEL {

class LineReader {
public:
  // sizeHint: the file's size when known (0 otherwise); a small file gets a
  // small buffer and is read at once. blockSize: the most read at a time,
  // unless a line is longer.
  explicit LineReader(std::FILE* file, unsigned long long sizeHint = 0,
                      std::size_t blockSize = 256 * 1024);

  // The next line, valid until the next call. False at end of file or after
  // a read error (see readError).
  bool next(std::string_view& line);

  // The errno value of a failed read, 0 when none failed.
  int readError() const { return readError_; }

private:
  void fill();

  std::FILE* file_;
  std::unique_ptr<char[]> buffer_;  // not zero-filled: only read bytes are looked at
  std::size_t capacity_;
  std::size_t begin_;
  std::size_t end_;
  bool endOfFile_;
  int readError_;
};

}  // namespace KVEL

#endif
