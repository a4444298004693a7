// Where the account of a launch goes: gathered and written in large pieces
// as it is produced, as an account may have millions of lines. Where
// nothing else may come between its parts (a JSON document on standard
// error) it is held to the end: in memory while it is small, then in an
// unnamed temporary file, so that a large account never sits in memory.
#ifndef KVEL_ACCOUNT_WRITER_H
#define KVEL_ACCOUNT_WRITER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "kvel/account_spill.h"
#include "support/fs/file_content.h"

namespace KVEL {

class AccountWriter {
public:
  // What is gathered before it is written, or spilled when held.
  static constexpr std::size_t kPiece = 64 * 1024;
  // What a held account keeps in memory before it goes to a temporary file.
  static constexpr std::size_t kHeldInMemory = 1024 * 1024;

  AccountWriter(std::FILE* out, bool holdToEnd);
  ~AccountWriter();
  AccountWriter(const AccountWriter&) = delete;
  AccountWriter& operator=(const AccountWriter&) = delete;

  // The buffer to append to; passed on by pass() when it is large.
  std::string& text() { return buffer_; }
  AccountWriter& operator<<(std::string_view text) {
    buffer_.append(text.data(), text.size());
    return *this;
  }
  AccountWriter& operator<<(char c) {
    buffer_ += c;
    return *this;
  }
  AccountWriter& operator<<(std::size_t number) {
    appendNumber(buffer_, number);
    return *this;
  }
  // The user's text made safe for a terminal (cmdfile::shownText), in
  // pieces, so that a long text is not held twice.
  void shown(std::string_view text);
  // The same for a text made piece by piece, never held whole.
  void shown(const FileContent& text);
  // The same in double quotes, so that an empty text and blanks at its
  // ends show.
  void quoted(std::string_view text);

  // "name":"text" in JSON, and where text is not UTF-8 ,"name_hex":"<hex>"
  // (appendJsonField), in pieces.
  void jsonField(std::string_view name, std::string_view text);
  void jsonField(std::string_view name, const FileContent& text);

  // Passes on what is gathered when it is large.
  void pass() {
    if (buffer_.size() >= (holdToEnd_ ? kHeldInMemory : kPiece))
      passOn();
  }
  // Writes what is gathered unless the whole must be held to the end.
  void endStep() {
    if (!holdToEnd_)
      flush();
  }
  // Writes all that is gathered or held, and flushes the output.
  void flush();
  // Writes what is held, and from here what is gathered as it comes.
  void writeAsProduced() {
    flush();
    holdToEnd_ = false;
  }

  // Appends number in decimal.
  static void appendNumber(std::string& out, std::uint64_t number);

private:
  // Calls add on pieces of text of about kPiece bytes, each cut before a
  // byte that does not continue a UTF-8 sequence, passing on what is
  // gathered after each.
  template <class Add>
  void inPieces(std::string_view text, Add add);
  // Writes the buffer to the output, or when held to the temporary file
  // (kept in memory where there is none or it fails).
  void passOn();

  std::FILE* out_;
  bool holdToEnd_;
  std::string buffer_;
  AccountSpill spill_;
};

}  // namespace KVEL

#endif
