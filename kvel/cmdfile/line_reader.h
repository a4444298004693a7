// Reads a file in large blocks and hands out its lines, without their line
// feeds, as views into the block buffer. Gives the same lines as reading with
// std::getline until end of file: a last line without a line feed is handed
// out, NUL bytes stay inside lines, and a read error ends the lines.
#ifndef KVEL_CMDFILE_LINE_READER_H
#define KVEL_CMDFILE_LINE_READER_H

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "kvel/cmdfile/page_buffer.h"

namespace KVEL {

class LineReader {
public:
  // The longest line accepted by default: 256 MiB. Real command files hold
  // short lines (a file of a million arguments is 19 MB in all), while an
  // endless line (a device, a file without line feeds) must end in bounded
  // memory and time.
  static const std::size_t kMaxLineLength = 256 * 1024 * 1024;

  // sizeHint: the file's size when known (0 otherwise); a small file gets a
  // small buffer and is read at once. blockSize: the most read at a time,
  // unless a line is longer. maxLineLength: the longest line handed out.
  // head: text that comes before what is read from the file (its first
  // bytes, read already). A null file has no more than the head.
  explicit LineReader(std::FILE* file, unsigned long long sizeHint = 0,
                      std::size_t blockSize = 256 * 1024,
                      std::size_t maxLineLength = kMaxLineLength, std::string_view head = {});

  // The next line, valid until the next call. False at end of file, after a
  // read error (see readError) or at a line longer than the longest accepted
  // (see lineTooLong). The buffer grows with a long line and may throw
  // std::bad_alloc. It is a page buffer: a large block from the C library's
  // allocator, once freed, would change that allocator for the rest of the
  // process.
  bool next(std::string_view& line);

  // The errno value of a failed read, 0 when none failed.
  int readError() const { return readError_; }

  // True when reading stopped at a line longer than maxLineLength.
  bool lineTooLong() const { return lineTooLong_; }

private:
  void fill();

  std::FILE* file_;
  PageBuffer buffer_;  // only read bytes are looked at
  std::size_t capacity_;
  std::size_t maxLineLength_;
  std::size_t begin_;
  std::size_t end_;
  bool endOfFile_;
  int readError_;
  bool lineTooLong_;
};

}  // namespace KVEL

#endif
