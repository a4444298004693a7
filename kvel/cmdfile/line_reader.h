// Reads a file in large blocks and hands out its lines, without their line
// feeds, as views into the block buffer. Gives the same lines as reading with
// std::getline until end of file: a last line without a line feed is handed
// out, NUL bytes stay inside lines, and a read error ends the lines.
#ifndef KVEL_CMDFILE_LINE_READER_H
#define KVEL_CMDFILE_LINE_READER_H

#include <cstddef>
#include <cstdio>
#include <string_view>
#include <vector>

namespace KVEL {

class LineReader {
public:
  explicit LineReader(std::FILE* file, std::size_t blockSize = 256 * 1024);

  // The next line, valid until the next call. False at end of file or after
  // a read error (see readError).
  bool next(std::string_view& line);

  // The errno value of a failed read, 0 when none failed.
  int readError() const { return readError_; }

private:
  void fill();

  std::FILE* file_;
  std::vector<char> buffer_;
  std::size_t begin_;
  std::size_t end_;
  bool endOfFile_;
  int readError_;
};

}  // namespace KVEL

#endif
