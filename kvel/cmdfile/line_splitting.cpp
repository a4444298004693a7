#include "kvel/cmdfile/line_splitting.h"

#include <iostream>

#include "kvel/cmdfile/blank_pieces.h"

namespace KVEL {

namespace {

bool isTrimmed(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// A word outside quotes is kept when its first byte is graphic ASCII or
// belongs to text beyond ASCII (0x80 to 0xFF); words that begin with a
// control byte (below 0x21, or 0x7F) are dropped.
bool startsKeptWord(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x21 && byte != 0x7F;
}

bool hasExactlyOneQuote(std::string_view piece) {
  const std::size_t first = piece.find('"');
  return first != std::string_view::npos && piece.find('"', first + 1) == std::string_view::npos;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Without quotes the pieces that survive are the words that startsKeptWord
// accepts, so the line is cut at blanks directly.
void splitUnquoted(std::string_view line, std::vector<std::string_view>& arguments) {
  const char* const begin = line.data();
  const char* const end = begin + line.size();
  const char* cursor = begin;
  while (cursor != end) {
    while (cursor != end && isBlank(*cursor)) ++cursor;
    const char* const word = cursor;
    while (cursor != end && !isBlank(*cursor)) ++cursor;
    if (cursor != word && startsKeptWord(*word)) arguments.emplace_back(word, cursor - word);
  }
}

}  // namespace

namespace cmdfile {

std::string_view trimmed(std::string_view text) {
  // Every byte of the trimming set is at most a space: most texts end in
  // other bytes on both sides and are returned as they are.
  if (!text.empty() && static_cast<unsigned char>(text.front()) > 0x20 &&
      static_cast<unsigned char>(text.back()) > 0x20) {
    return text;
  }
  std::size_t end = text.size();
  while (end > 0 && isTrimmed(text[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && isTrimmed(text[begin])) ++begin;
  return text.substr(begin, end - begin);
}

bool splitIntoViews(std::string_view line, std::vector<std::string_view>& arguments) {
  if (line.find('"') == std::string_view::npos) {
    splitUnquoted(line, arguments);
    return true;
  }
  BlankPieces pieces(line);
  std::string_view piece;
  bool inQuote = false;
  std::size_t runStart = 0;
  while (pieces.next(piece)) {
    const std::size_t pieceStart = static_cast<std::size_t>(piece.data() - line.data());
    if (!inQuote && hasExactlyOneQuote(piece)) {
      inQuote = true;
      runStart = pieceStart;
    }
    if (inQuote) {
      // The pieces of a run are adjacent, so the run is one slice of the line.
      if (!piece.empty() && piece.back() == '"') {
        arguments.push_back(line.substr(runStart, pieceStart + piece.size() - runStart));
        inQuote = false;
      }
    } else if (!piece.empty() && startsKeptWord(piece[0])) {
      arguments.push_back(piece);
    }
  }
  return !inQuote;
}

std::string mismatchedQuote(std::string_view line) {
  return "Mismatched quote found in line " + std::string(line);
}

bool findQuotePair(std::string_view argument, std::size_t& first, std::size_t& last) {
  first = argument.find('"');
  if (first == std::string_view::npos) return false;
  last = argument.rfind('"');
  return last != first;
}


bool splitLine(const std::string& line, std::vector<std::string>& arguments, std::string* err) {
  std::vector<std::string_view> views;
  const bool closed = splitIntoViews(line, views);
  // Arguments before an open quote are appended too, as the caller may see them.
  arguments.reserve(arguments.size() + views.size());
  for (const std::string_view view : views) arguments.emplace_back(view);
  if (!closed) *err = mismatchedQuote(line);
  return closed;
}

}  // namespace cmdfile

bool splitCommandLine(const std::string& line, std::vector<std::string>& arguments) {
  std::string err;
  if (cmdfile::splitLine(line, arguments, &err)) return true;
  std::cerr << err << "\n";
  return false;
}

void trimWhitespace(std::string& text) {
  const std::string_view kept = cmdfile::trimmed(text);
  if (kept.size() == text.size()) return;
  const std::size_t begin = static_cast<std::size_t>(kept.data() - text.data());
  text.erase(begin + kept.size());
  text.erase(0, begin);
}

void stripQuotes(std::string& argument) {
  std::size_t first = 0;
  std::size_t last = 0;
  if (!cmdfile::findQuotePair(argument, first, last)) return;
  argument.erase(last, 1);
  argument.erase(first, 1);
}

}  // namespace KVEL
