#include "kvel/account_spill.h"

#include <vector>

#include "support/fs/file_system.h"

namespace KVEL {

AccountSpill::~AccountSpill() { close(); }

void AccountSpill::close() {
  fs::closeHandle(handle_);
  handle_ = fs::kNoHandle;
}

bool AccountSpill::append(std::string_view data) {
  if (broken_)
    return false;
  if (data.empty())
    return true;
  if (handle_ == fs::kNoHandle) {
    handle_ = fs::openUnnamedTemporary();
    if (handle_ == fs::kNoHandle) {
      broken_ = true;
      return false;
    }
  }
  if (!fs::writeAll(handle_, data)) {
    // What part of data went in is not known: cut back to what came before.
    broken_ = true;
    if (!fs::truncate(handle_, size_))
      close();  // its content is lost; copyTo then reports it
    return false;
  }
  size_ += data.size();
  return true;
}

bool AccountSpill::copyTo(std::FILE* out) {
  std::uint64_t copied = 0;
  if (handle_ != fs::kNoHandle) {
    std::vector<char> piece(1024 * 1024);
    for (;;) {
      std::size_t got = 0;
      if (!fs::readAt(handle_, copied, piece.data(), piece.size(), &got) || got == 0)
        break;
      std::fwrite(piece.data(), 1, got, out);
      copied += got;
    }
  }
  close();
  const bool whole = copied == size_;
  size_ = 0;
  return whole;
}

}  // namespace KVEL
