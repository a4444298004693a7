#include "kvel/cmdfile/argument_origins.h"

#include <cstdio>

#include "kvel/cmdfile/program_text.h"

namespace KVEL {
namespace cmdfile {

namespace {

void appendHex(std::string& out, const char* format, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, format, value);
  out += buffer;
}

}  // namespace

std::string ArgumentOrigins::place(const ArgumentOrigin& origin) const {
  if (origin.file == kCommandLine)
    return "command line " + std::to_string(origin.line);
  // Collected innermost first, then written outermost first.
  std::vector<std::string> steps;
  std::uint32_t file = origin.file;
  std::uint32_t line = origin.line;
  while (file != kCommandLine && file < files.size()) {
    steps.push_back(placeStep(files[file].name, line));
    line = files[file].parentLine;
    file = files[file].parent;
  }
  std::string text;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    if (!text.empty())
      text += " -> ";
    text += *step;
  }
  return text;
}

std::string placeStep(std::string_view fileName, std::size_t line) {
  return shownText(fileName) + ":" + std::to_string(line);
}

std::string shownText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendShownText(out, text);
  return out;
}

void appendShownText(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      if (c == '\n')
        out += "\\n";
      else if (c == '\t')
        out += "\\t";
      else if (c == '\r')
        out += "\\r";
      else
        appendHex(out, "\\x%02x", c);
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t length = utf8SequenceLength(text.substr(i))) {
      const unsigned char next = static_cast<unsigned char>(text[i + 1]);
      if (c == 0xC2 && next < 0xA0) {
        appendHex(out, "\\u%04x", next);  // C1 control: U+0080 to U+009F
      } else {
        out.append(text.data() + i, length);
      }
      i += length;
    } else {
      appendHex(out, "\\x%02x", c);
      ++i;
    }
  }
}

}  // namespace cmdfile
}  // namespace KVEL
