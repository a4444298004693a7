#include "kvel/simulation_command.h"

#include <cstring>
#include <new>
#include <string>

#include <boost/filesystem/path.hpp>

#include "kvel/cmdfile/page_buffer.h"
#include "kvel/cmdfile/program_text.h"

namespace KVEL {

namespace {

// The text is assembled with appends into one string whose size is counted
// first, so a command of a million values is written once, without growing.
class CommandText {
public:
  explicit CommandText(bool counting) : counting_(counting) {}
  CommandText& operator<<(const char* piece) { return add(piece, std::char_traits<char>::length(piece)); }
  CommandText& operator<<(std::string_view piece) { return add(piece.data(), piece.size()); }
  // Plain decimal, whatever the global locale says.
  CommandText& operator<<(long long value) { return *this << std::to_string(value); }
  std::size_t size() const { return size_; }
  void reserve(std::size_t size) { text_.reserve(size); }
  std::string take() { return std::move(text_); }

private:
  CommandText& add(const char* piece, std::size_t length) {
    if (counting_)
      size_ += length;
    else
      text_.append(piece, length);
    return *this;
  }
  bool counting_;
  std::size_t size_ = 0;
  std::string text_;
};

// The text handed on in pieces of one page mapping's size, so that a
// command of a million values is never held whole; a value longer than the
// mapping goes on as a piece of its own. Once the sink refuses a piece the
// rest is dropped.
class PieceWriter {
public:
  explicit PieceWriter(PieceSink& sink) : sink_(sink) {
    // A page mapping: see page_buffer.h on why not the C library's heap.
    if (!buffer_.reserve(kPieceSize))
      throw std::bad_alloc();
  }
  PieceWriter& operator<<(const char* piece) {
    return add(piece, std::char_traits<char>::length(piece));
  }
  PieceWriter& operator<<(std::string_view piece) { return add(piece.data(), piece.size()); }
  PieceWriter& operator<<(long long value) { return *this << std::to_string(value); }
  // Hands on what is gathered; false when the sink refused a piece.
  bool finish() {
    flush();
    return taken_;
  }

private:
  static constexpr std::size_t kPieceSize = 64u << 10;

  PieceWriter& add(const char* piece, std::size_t length) {
    if (length > buffer_.capacity() - used_) {
      flush();
      if (length >= buffer_.capacity()) {
        taken_ = taken_ && sink_.put(std::string_view(piece, length));
        return *this;
      }
    }
    std::memcpy(buffer_.data() + used_, piece, length);
    used_ += length;
    return *this;
  }
  void flush() {
    if (used_ != 0)
      taken_ = taken_ && sink_.put(std::string_view(buffer_.data(), used_));
    used_ = 0;
  }

  PieceSink& sink_;
  PageBuffer buffer_;
  std::size_t used_ = 0;
  bool taken_ = true;
};

// See braceCanHold.
bool bracesHold(std::string_view value) {
  long depth = 0;
  std::size_t backslashes = 0;  // the run just before the current character
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      // The second byte of a two-byte character is no brace or backslash.
      i += characterLength(value.substr(i)) - 1;
      backslashes = 0;
      continue;
    }
    const bool escaped = backslashes % 2 == 1;
    if (escaped && c == '\n')
      return false;
    if (!escaped && c == '{')
      ++depth;
    if (!escaped && c == '}' && --depth < 0)
      return false;
    backslashes = c == '\\' ? backslashes + 1 : 0;
  }
  return depth == 0 && backslashes % 2 == 0;
}

// Appends value as one Tcl word (see tclWord) to any sink taking char pieces.
template <class Sink>
void appendWord(Sink& sink, std::string_view value) {
  if (bracesHold(value)) {
    sink << "{" << value << "}";
    return;
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    switch (value[i]) {
    case '\n': sink << "\\n"; break;
    case '\r': sink << "\\r"; break;
    case '\t': sink << "\\t"; break;
    case '\v': sink << "\\v"; break;
    case '\f': sink << "\\f"; break;
    case ' ': sink << "\\ "; break;
    case ';': sink << "\\;"; break;
    case '$': sink << "\\$"; break;
    case '[': sink << "\\["; break;
    case ']': sink << "\\]"; break;
    case '{': sink << "\\{"; break;
    case '}': sink << "\\}"; break;
    case '"': sink << "\\\""; break;
    case '\\': sink << "\\\\"; break;
    case '#':
      sink << (i == 0 ? "\\#" : "#");
      break;
    default: {
      // A character of two bytes goes whole: its second byte may equal "\\",
      // "[" or "{" without being one.
      const std::size_t length =
          static_cast<unsigned char>(value[i]) < 0x80 ? 1 : characterLength(value.substr(i));
      sink << value.substr(i, length);
      i += length - 1;
    }
    }
  }
}

// A sink that fills a plain string.
struct StringSink {
  std::string& text;
  StringSink& operator<<(const char* piece) { text += piece; return *this; }
  StringSink& operator<<(std::string_view piece) { text += piece; return *this; }
};

template <class Text>
void writeCommand(const CommandLineOptions& options, const std::string& snapshot, Text& text) {
  appendWord(text, snapshot);
  if (options.maxdeltaid >= 0 && options.maxdeltaid != 10000)
    text << " -maxdeltaid " << static_cast<long long>(options.maxdeltaid);
  if (options.maxlogsize >= 0)
    text << " -maxlogsize " << static_cast<long long>(options.maxlogsize);
  for (std::string_view plusarg : options.testplusarg)
    text << " -testplusarg " << plusarg;
  if (!options.vcdfile.empty())
    appendWord(text << " -vcdfile ", options.vcdfile);
  if (!options.vcdunit.empty())
    appendWord(text << " -vcdunit ", options.vcdunit);
  if (!options.wdb.empty())
    appendWord(text << " -wdb ", options.wdb);
  if (options.tp)
    text << " -tp";
  if (options.tl)
    text << " -tl";
  // Each -view value is a one-element Tcl list, itself in braces: its one
  // element is a word, and a word in backslash form always fits in braces.
  for (std::string_view view : options.view) {
    std::string element;
    StringSink sink{element};
    appendWord(sink, boost::filesystem::path(std::string(view)).generic_string());
    text << " -view {" << element << "}";
  }
  if (options.view.empty())
    text << " -autoloadwcfg";
  for (std::string_view batch : options.tclbatch)
    appendWord(text << " -tclbatch ", batch);
  if (options.runall)
    text << " -runall";
  if (!options.onfinish.empty())
    text << " -onfinish " << options.onfinish;
  if (!options.onerror.empty())
    text << " -onerror " << options.onerror;
  if (options.nosignalhandlers)
    text << " -nosignalhandlers";
  if (options.ieeewarnings)
    text << " -ieeewarnings";
  if (options.quindle)
    text << " -quindle";
  if (options.stats)
    text << " -stats";
  if (options.internaldebuglevel != 0)
    text << " -internaldebuglevel " << static_cast<long long>(options.internaldebuglevel);
  if (!options.simmode.empty())
    text << " -simmode " << options.simmode;
  if (!options.key.empty())
    text << " -key " << options.key;
}

}  // namespace

bool braceCanHold(const std::string& value) { return bracesHold(value); }

std::string tclWord(const std::string& value) {
  std::string word;
  StringSink sink{word};
  appendWord(sink, value);
  return word;
}

std::string buildSimulationCommand(const CommandLineOptions& options, const std::string& snapshot) {
  CommandText counted(true);
  writeCommand(options, snapshot, counted);
  CommandText text(false);
  text.reserve(counted.size());
  writeCommand(options, snapshot, text);
  return text.take();
}

bool writeSimulationCommand(const CommandLineOptions& options, const std::string& snapshot,
                            PieceSink& sink) {
  PieceWriter text(sink);
  writeCommand(options, snapshot, text);
  return text.finish();
}

}  // namespace KVEL
