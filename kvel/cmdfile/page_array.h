// A growing array of plain records (one per argument of a long list) in a
// PageBuffer: growth moves the pages without copying or touching them again,
// where a vector would copy and fault in every earlier element at each
// doubling, and the memory goes back to the system, not to the allocator.
#ifndef KVEL_CMDFILE_PAGE_ARRAY_H
#define KVEL_CMDFILE_PAGE_ARRAY_H

#include <cstddef>
#include <new>
#include <type_traits>

#include "kvel/cmdfile/page_buffer.h"

namespace KVEL {

template <typename T>
class PageArray {
  static_assert(std::is_trivially_copyable<T>::value && std::is_trivially_destructible<T>::value,
                "the pages are moved as bytes and given back without destructors");

public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const T& operator[](std::size_t i) const { return begin()[i]; }
  const T* begin() const { return reinterpret_cast<const T*>(buffer_.data()); }
  const T* end() const { return begin() + size_; }

  // Throws std::bad_alloc, as a vector would, when the system gives no more.
  void push_back(const T& value) {
    if ((size_ + 1) * sizeof(T) > buffer_.capacity() && !buffer_.reserve((size_ + 1) * sizeof(T)))
      throw std::bad_alloc();
    new (buffer_.data() + size_ * sizeof(T)) T(value);
    ++size_;
  }

private:
  PageBuffer buffer_;
  std::size_t size_ = 0;
};

}  // namespace KVEL

#endif
