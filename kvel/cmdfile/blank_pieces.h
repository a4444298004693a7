// Cuts a line into the pieces that boost::tokenizer gives over a
// boost::char_separator with " \t" dropped, " \t" kept and empty tokens kept:
// the text between blanks (possibly empty) alternating with each single blank.
// An empty text has no pieces. Pieces are views into the text.
#ifndef KVEL_CMDFILE_BLANK_PIECES_H
#define KVEL_CMDFILE_BLANK_PIECES_H

#include <cstddef>
#include <string_view>

namespace KVEL {

class BlankPieces {
public:
  explicit BlankPieces(std::string_view text)
      : text_(text), position_(0), blankNext_(false), done_(text.empty()) {}

  // The next piece; false when there is none left.
  bool next(std::string_view& piece) {
    if (done_) return false;
    if (blankNext_) {
      piece = text_.substr(position_, 1);
      ++position_;
      blankNext_ = false;
      return true;
    }
    std::size_t end = position_;
    while (end < text_.size() && text_[end] != ' ' && text_[end] != '\t') ++end;
    piece = text_.substr(position_, end - position_);
    position_ = end;
    if (end == text_.size()) {
      done_ = true;
    } else {
      blankNext_ = true;
    }
    return true;
  }

private:
  std::string_view text_;
  std::size_t position_;
  bool blankNext_;
  bool done_;
};

}  // namespace KVEL

#endif
