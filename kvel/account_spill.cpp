#include "kvel/account_spill.h"

namespace KVEL {

AccountSpill::~AccountSpill() {
  if (handle_ != -1)
    close(handle_);
}

std::size_t AccountSpill::append(std::string_view data) {
  if (broken_ || data.empty())
    return 0;
  if (handle_ == -1 && !open(&handle_)) {
    handle_ = -1;
    broken_ = true;
    return 0;
  }
  const std::size_t written = write(handle_, data.data(), data.size());
  size_ += written;
  if (written != data.size())
    broken_ = true;
  return written;
}

bool AccountSpill::copyTo(std::FILE* out) {
  if (handle_ == -1)
    return true;
  std::uint64_t copied = 0;
  if (rewind(handle_)) {
    char piece[64 * 1024];
    while (copied < size_) {
      const std::size_t got = read(handle_, piece, sizeof piece);
      if (got == 0)
        break;
      std::fwrite(piece, 1, got, out);
      copied += got;
    }
  }
  close(handle_);
  handle_ = -1;
  return copied == size_;
}

}  // namespace KVEL
