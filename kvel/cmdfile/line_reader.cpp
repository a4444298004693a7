#include "kvel/cmdfile/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace KVEL {

namespace {

const std::size_t kSmallestBuffer = 4096;

std::size_t bufferSize(unsigned long long sizeHint, std::size_t blockSize) {
  if (sizeHint == 0)
    return std::max<std::size_t>(blockSize, 1);
  // One byte more than the file, so that the first read also sees its end.
  const unsigned long long wanted = std::max<unsigned long long>(sizeHint + 1, kSmallestBuffer);
  return static_cast<std::size_t>(
      std::min<unsigned long long>(wanted, std::max<std::size_t>(blockSize, 1)));
}

}  // namespace

LineReader::LineReader(std::FILE* file, unsigned long long sizeHint, std::size_t blockSize,
                       std::size_t maxLineLength, std::string_view head)
    : file_(file),
      capacity_(file == nullptr ? std::max<std::size_t>(head.size(), 1)
                                : std::max(bufferSize(sizeHint, blockSize), head.size())),
      maxLineLength_(maxLineLength),
      begin_(0),
      end_(head.size()),
      endOfFile_(file == nullptr),
      readError_(0),
      lineTooLong_(false) {
  if (!buffer_.reserve(capacity_))
    throw std::bad_alloc();
  if (!head.empty())
    std::memcpy(buffer_.data(), head.data(), head.size());
}

bool LineReader::next(std::string_view& line) {
  for (;;) {
    const char* data = buffer_.data();
    const void* lineFeed = std::memchr(data + begin_, '\n', end_ - begin_);
    if (lineFeed != nullptr) {
      const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - data);
      if (end - begin_ > maxLineLength_) {
        lineTooLong_ = true;
        return false;
      }
      line = std::string_view(data + begin_, end - begin_);
      begin_ = end + 1;
      return true;
    }
    if (readError_ != 0 || lineTooLong_)
      return false;
    if (endOfFile_) {
      if (begin_ == end_)
        return false;
      if (end_ - begin_ > maxLineLength_) {
        lineTooLong_ = true;
        return false;
      }
      line = std::string_view(data + begin_, end_ - begin_);
      begin_ = end_;
      return true;
    }
    fill();
  }
}

// Keeps the unfinished line at the front of the buffer (doubling the buffer
// when the line fills it, up to one byte more than the longest line) and
// reads the next block behind it.
void LineReader::fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == capacity_) {
    if (end_ > maxLineLength_) {
      lineTooLong_ = true;
      return;
    }
    const std::size_t larger = std::min(2 * capacity_, maxLineLength_ + 1);
    if (!buffer_.reserve(larger))
      throw std::bad_alloc();
    capacity_ = larger;
  }
  const std::size_t wanted = capacity_ - end_;
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
