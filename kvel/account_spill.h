// An unnamed temporary file that holds an account written whole at the end,
// so that a large account does not sit in memory until then. Nobody else can
// open it, and it goes when it is closed.
#ifndef KVEL_ACCOUNT_SPILL_H
#define KVEL_ACCOUNT_SPILL_H

#include <cstdint>
#include <cstdio>
#include <string_view>

namespace KVEL {

class AccountSpill {
public:
  AccountSpill() = default;
  ~AccountSpill();
  AccountSpill(const AccountSpill&) = delete;
  AccountSpill& operator=(const AccountSpill&) = delete;

  // Appends data, making the file on first use; the count of bytes taken,
  // the whole unless the file cannot be made or written. After a shortfall
  // it takes nothing more: the caller keeps the rest.
  std::size_t append(std::string_view data);
  // Writes what the file holds to out and closes the file. False when it
  // cannot be read back whole.
  bool copyTo(std::FILE* out);

private:
  // The platform's part. Opens a new unnamed file for reading and writing.
  static bool open(std::intptr_t* handle);
  // Writes at the end; the count written, short on an error.
  static std::size_t write(std::intptr_t handle, const char* data, std::size_t size);
  // Reads from the start, once rewound: the count read, 0 at the end or on
  // an error.
  static bool rewind(std::intptr_t handle);
  static std::size_t read(std::intptr_t handle, char* data, std::size_t size);
  static void close(std::intptr_t handle);

  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;  // bytes written to the file
  bool broken_ = false;     // could not be made, or a write fell short
};

}  // namespace KVEL

#endif
