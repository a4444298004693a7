#include "kvel/account_writer.h"

#include <algorithm>

#include "kvel/cmdfile/argument_origins.h"
#include "kvel/json_text.h"

namespace KVEL {

namespace {

// Shown as it is, with nothing to look at: printable ASCII.
bool isPlain(char c) { return c >= 0x20 && c < 0x7F; }

bool continuesSequence(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Passes a text made in pieces on to take cut only before a byte that does
// not continue a UTF-8 sequence, as a text given whole is cut, so that what
// is shown of it does not depend on where its maker cut it.
template <class Take>
class WholeCharacters final : public PieceSink {
public:
  explicit WholeCharacters(Take take) : take_(take) {}
  bool put(std::string_view piece) override {
    if (!open_.empty()) {
      std::size_t continued = 0;
      while (continued < piece.size() && open_.size() + continued < 4 &&
             continuesSequence(piece[continued]))
        ++continued;
      open_.append(piece.data(), continued);
      piece.remove_prefix(continued);
      if (piece.empty() && open_.size() < 4)
        return true;  // the next piece may continue it still
      take_(std::string_view(open_));
      open_.clear();
    }
    // The last character may go on in the next piece: it waits.
    std::size_t last = piece.size();
    for (std::size_t back = 0; back < 4 && last > 0; ++back) {
      if (!continuesSequence(piece[--last]))
        break;
    }
    if (last < piece.size() && continuesSequence(piece[last]))
      last = piece.size();  // no character starts there: nothing to wait for
    if (last > 0)
      take_(piece.substr(0, last));
    open_.assign(piece.data() + last, piece.size() - last);
    return true;
  }
  void finish() {
    if (!open_.empty())
      take_(std::string_view(open_));
    open_.clear();
  }

private:
  Take take_;
  std::string open_;  // at most a character's bytes
};

// A text given whole, as content.
class WholeText final : public FileContent {
public:
  explicit WholeText(std::string_view text) : text_(text) {}
  bool produce(PieceSink& sink) const override { return sink.put(text_); }

private:
  std::string_view text_;
};

// Hands text's pieces to take, cut as WholeCharacters cuts them.
template <class Take>
void inWholeCharacters(const FileContent& text, Take take) {
  WholeCharacters<Take> pieces(take);
  text.produce(pieces);
  pieces.finish();
}

}  // namespace

AccountWriter::AccountWriter(std::FILE* out, bool holdToEnd) : out_(out), holdToEnd_(holdToEnd) {
  buffer_.reserve(kPiece + kPiece / 4);
}

AccountWriter::~AccountWriter() { flush(); }

void AccountWriter::appendNumber(std::string& out, std::uint64_t number) {
  char digits[24];
  char* first = digits + sizeof digits;
  do {
    *--first = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  out.append(first, static_cast<std::size_t>(digits + sizeof digits - first));
}

template <class Add>
void AccountWriter::inPieces(std::string_view text, Add add) {
  while (!text.empty()) {
    std::size_t piece = std::min(text.size(), kPiece);
    while (piece < text.size() && (static_cast<unsigned char>(text[piece]) & 0xC0) == 0x80)
      ++piece;
    add(text.substr(0, piece));
    text.remove_prefix(piece);
    pass();
  }
}

void AccountWriter::jsonField(std::string_view name, std::string_view text) {
  jsonField(name, WholeText(text));
}

void AccountWriter::jsonField(std::string_view name, const FileContent& text) {
  buffer_ += '"';
  buffer_.append(name.data(), name.size());
  buffer_ += "\":\"";
  bool utf8 = true;
  inWholeCharacters(text, [&](std::string_view piece) {
    inPieces(piece, [&](std::string_view part) { utf8 = appendJsonText(buffer_, part) && utf8; });
  });
  buffer_ += '"';
  if (utf8)
    return;
  // Made again, rather than held, for the bytes in hex.
  buffer_ += ",\"";
  buffer_.append(name.data(), name.size());
  buffer_ += "_hex\":\"";
  inWholeCharacters(text, [&](std::string_view piece) {
    inPieces(piece, [&](std::string_view part) { appendJsonHexText(buffer_, part); });
  });
  buffer_ += '"';
}

void AccountWriter::shown(const FileContent& text) {
  inWholeCharacters(text, [&](std::string_view piece) {
    shown(piece);
    pass();
  });
}

void AccountWriter::shown(std::string_view text) {
  if (text.size() < kPiece && printableAsciiRun(text, 0x7F, 0x7F) == text.size()) {
    buffer_.append(text.data(), text.size());  // the common case
    return;
  }
  while (!text.empty()) {
    // 0x7F, never in a run, stands for no further exclusion.
    const std::size_t plain = printableAsciiRun(text.substr(0, kPiece), 0x7F, 0x7F);
    buffer_.append(text.data(), plain);
    text.remove_prefix(plain);
    // The rest up to the next plain character (a UTF-8 sequence holds none),
    // at most a piece, never cut before a continuation byte.
    std::size_t other = 0;
    while (other < text.size() && other < kPiece && !isPlain(text[other]))
      ++other;
    while (other < text.size() && (static_cast<unsigned char>(text[other]) & 0xC0) == 0x80)
      ++other;
    cmdfile::appendShownText(buffer_, text.substr(0, other));
    text.remove_prefix(other);
    pass();
  }
}

void AccountWriter::quoted(std::string_view text) {
  if (text.size() < kPiece && printableAsciiRun(text, 0x7F, 0x7F) == text.size()) {
    appendInQuotes(buffer_, text);  // the common case, in one step
    return;
  }
  buffer_ += '"';
  shown(text);
  buffer_ += '"';
}

void AccountWriter::passOn() {
  if (!holdToEnd_) {
    flush();
    return;
  }
  // Kept in memory where the file cannot take it.
  if (spill_.append(buffer_))
    buffer_.clear();
}

void AccountWriter::flush() {
  spill_.copyTo(out_);
  if (!buffer_.empty())
    std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
  std::fflush(out_);
  buffer_.clear();
}

}  // namespace KVEL
