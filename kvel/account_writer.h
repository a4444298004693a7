// Where the account of a launch goes: gathered and written in large pieces,
// as an account may have millions of lines; or held whole until the end,
// where nothing else may come between its parts (a JSON document on
// standard error).
#ifndef KVEL_ACCOUNT_WRITER_H
#define KVEL_ACCOUNT_WRITER_H

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "kvel/cmdfile/argument_origins.h"

namespace KVEL {

class AccountWriter {
public:
  AccountWriter(std::FILE* out, bool holdToEnd) : out_(out), holdToEnd_(holdToEnd) {}
  ~AccountWriter() { flush(); }
  AccountWriter(const AccountWriter&) = delete;
  AccountWriter& operator=(const AccountWriter&) = delete;

  // The buffer to append to; written out when it is large.
  std::string& text() { return buffer_; }
  AccountWriter& operator<<(std::string_view text) {
    buffer_.append(text.data(), text.size());
    return *this;
  }
  AccountWriter& operator<<(std::size_t number) { return *this << std::to_string(number); }
  // The user's text made safe for a terminal (cmdfile::shownText), in
  // pieces, so that a long text is not held twice.
  void shown(std::string_view text) {
    while (!text.empty()) {
      std::size_t piece = std::min<std::size_t>(text.size(), 64 * 1024);
      while (piece < text.size() && static_cast<unsigned char>(text[piece]) >= 0x80)
        ++piece;
      cmdfile::appendShownText(buffer_, text.substr(0, piece));
      text.remove_prefix(piece);
      pass();
    }
  }
  // Writes what is gathered when it is large, or hold is off.
  void pass() {
    if (!holdToEnd_ && buffer_.size() >= 64 * 1024)
      flush();
  }
  void flush() {
    if (!buffer_.empty())
      std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
    std::fflush(out_);
    buffer_.clear();
  }
  // Writes what is gathered unless the whole must be held to the end.
  void endStep() {
    if (!holdToEnd_)
      flush();
  }

private:
  std::FILE* out_;
  bool holdToEnd_;
  std::string buffer_;
};

}  // namespace KVEL

#endif
