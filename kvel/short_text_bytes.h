// A text of fewer than sixteen bytes in one SSE2 register, for the checks
// that look at a text sixteen bytes at a time.
#ifndef KVEL_SHORT_TEXT_BYTES_H
#define KVEL_SHORT_TEXT_BYTES_H

#ifdef __SSE2__
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace KVEL {

// The first and last eight bytes of p (size 8 to 15), overlapping, or its
// bytes padded with copies of the first one (size 1 to 7): a check that
// every byte passes gives the same answer for the register as for the text.
inline __m128i shortTextBytes(const char* p, std::size_t size) {
  std::uint64_t first = 0x0101010101010101ULL * static_cast<unsigned char>(p[0]);
  std::uint64_t last;
  if (size >= 8) {
    std::memcpy(&first, p, 8);
    std::memcpy(&last, p + size - 8, 8);
  } else {
    std::memcpy(&first, p, size);
    last = first;
  }
  return _mm_set_epi64x(static_cast<long long>(last), static_cast<long long>(first));
}

}  // namespace KVEL

#endif

#endif
