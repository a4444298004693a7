#include "kvel/cmdfile/line_reader.h"

#include <cerrno>
#include <cstring>

namespace KVEL {

LineReader::LineReader(std::FILE* file, std::size_t blockSize)
    : file_(file), buffer_(blockSize > 0 ? blockSize : 1), begin_(0), end_(0),
      endOfFile_(false), readError_(0) {}

bool LineReader::next(std::string_view& line) {
  for (;;) {
    const char* data = buffer_.data();
    const void* lineFeed = std::memchr(data + begin_, '\n', end_ - begin_);
    if (lineFeed != nullptr) {
      const std::size_t end = static_cast<const char*>(lineFeed) - data;
      line = std::string_view(data + begin_, end - begin_);
      begin_ = end + 1;
      return true;
    }
    if (readError_ != 0) return false;
    if (endOfFile_) {
      if (begin_ == end_) return false;
      line = std::string_view(data + begin_, end_ - begin_);
      begin_ = end_;
      return true;
    }
    fill();
  }
}

// Keeps the unfinished line at the front of the buffer (growing it when the
// line fills it) and reads the next block behind it.
void LineReader::fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  const std::size_t wanted = buffer_.size() - end_;
  errno = 0;
  const std::size_t got = std::fread(buffer_.data() + end_, 1, wanted, file_);
  end_ += got;
  if (got < wanted) {
    if (std::ferror(file_)) {
      readError_ = errno != 0 ? errno : EIO;
      return;
    }
    endOfFile_ = true;
  }
}

}  // namespace KVEL
