#include "kvel/cmdfile/page_buffer.h"

#include <cstring>

#include <utility>

namespace KVEL {

namespace {

// Huge pages are 2 MiB where they exist; a smaller piece gains nothing.
const std::size_t kHugePage = 2u << 20;
const std::size_t kSmallestPiece = 64u << 10;

}  // namespace

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), capacity_(std::exchange(other.capacity_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

bool PageBuffer::reserve(std::size_t size) {
  if (size <= capacity_)
    return true;
  const std::size_t unit = pages::granularity();
  std::size_t wanted = capacity_ * 2 > size ? capacity_ * 2 : size;
  if (wanted < kSmallestPiece)
    wanted = kSmallestPiece;
  if (wanted > static_cast<std::size_t>(-1) - unit)
    return false;
  wanted = (wanted + unit - 1) / unit * unit;
  char* grown = data_ == nullptr ? pages::map(wanted) : pages::grow(data_, capacity_, wanted);
  if (grown == nullptr && data_ != nullptr) {
    // Where the system cannot move the pages: a new mapping and a copy.
    grown = pages::map(wanted);
    if (grown != nullptr) {
      std::memcpy(grown, data_, capacity_);
      pages::unmap(data_, capacity_);
    }
  }
  if (grown == nullptr)
    return false;
  data_ = grown;
  capacity_ = wanted;
  if (capacity_ >= kHugePage)
    pages::adviseHuge(data_, capacity_);
  return true;
}

void PageBuffer::release() {
  if (data_ != nullptr)
    pages::unmap(data_, capacity_);
  data_ = nullptr;
  capacity_ = 0;
}

}  // namespace KVEL
