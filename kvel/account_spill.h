// An unnamed temporary file that holds an account written whole at the end,
// so that a large account does not sit in memory until then. Nobody else can
// open it, and it goes when it is closed.
#ifndef KVEL_ACCOUNT_SPILL_H
#define KVEL_ACCOUNT_SPILL_H

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "support/file_status.h"

namespace KVEL {

class AccountSpill {
public:
  AccountSpill() = default;
  ~AccountSpill();
  AccountSpill(const AccountSpill&) = delete;
  AccountSpill& operator=(const AccountSpill&) = delete;

  // Appends data whole, making the file on first use. False when the file
  // cannot be made or written: a write that fell short is cut off again, so
  // the file holds what came before, and nothing more is taken; the caller
  // keeps data.
  bool append(std::string_view data);
  // Writes what the file holds to out and closes the file. False when it
  // cannot be read back whole.
  bool copyTo(std::FILE* out);
  // Bytes the file holds.
  std::uint64_t size() const { return size_; }

private:
  void close();

  fs::Handle handle_ = fs::kNoHandle;
  std::uint64_t size_ = 0;  // bytes written to the file
  bool broken_ = false;     // could not be made, or a write fell short
};

}  // namespace KVEL

#endif
