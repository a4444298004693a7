#include "kvel/launch_account.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "kvel/launcher.h"
#include "kvel/options/decimal_conversion.h"

namespace KVEL {

namespace {

using cmdfile::shownText;
using Kind = ParseTrace::Kind;

const char kPrefix[] = "KVEL_EXPLAIN: ";

// Lines gathered and written in large pieces: an account may have millions.
class Writer {
public:
  explicit Writer(std::FILE* out) : out_(out) {}
  ~Writer() { flush(); }
  Writer& operator<<(std::string_view text) {
    buffer_.append(text.data(), text.size());
    if (buffer_.size() >= 64 * 1024) flush();
    return *this;
  }
  Writer& operator<<(std::size_t number) { return *this << std::string_view(std::to_string(number)); }

private:
  void flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
    std::fflush(out_);
    buffer_.clear();
  }
  std::FILE* out_;
  std::string buffer_;
};

bool isSingleValued(Kind kind) {
  return kind == Kind::text || kind == Kind::integer || kind == Kind::unsignedInteger;
}

// For a number whose text goes on after the digits: what it was taken as.
std::string trailingTextNote(Kind kind, const std::string& text) {
  const std::size_t length = decimalLength(text);
  if (length == 0 || length == text.size()) return {};
  std::string value;
  if (kind == Kind::integer) {
    int number = 0;
    if (convertDecimalInt(text, number) != DecimalConversion::converted) return {};
    value = std::to_string(number);
  } else {
    unsigned int number = 0;
    if (convertDecimalUnsigned(text, number) != DecimalConversion::converted) return {};
    value = std::to_string(number);
  }
  return "taken as " + value + ": the text after the number, \"" + shownText(text.substr(length)) +
         "\", is ignored";
}

// Which single-valued option each value argument set, so that a value given
// again can name the one it replaces, and the replaced one its successor.
struct Replacements {
  std::vector<std::pair<std::size_t, std::size_t>> replacedBy;  // (earlier, later), by earlier
  std::vector<std::pair<std::size_t, std::size_t>> replaces;    // (later, earlier), by later
};

Replacements findReplacements(const ParseTrace& trace) {
  Replacements found;
  std::uint32_t snapshotOption = UINT32_MAX;
  for (std::uint32_t i = 0; i < trace.options.size(); ++i) {
    if (trace.options[i].name == "snapshot") snapshotOption = i;
  }
  std::vector<std::size_t> last(trace.options.size(), SIZE_MAX);
  for (std::size_t i = 0; i < trace.uses.size(); ++i) {
    const ArgumentUse& use = trace.uses[i];
    std::uint32_t option = use.option;
    if (use.role == ArgumentUse::positional) {
      option = snapshotOption;  // the bare argument becomes the snapshot value
    } else if (use.role != ArgumentUse::value || !isSingleValued(trace.options[option].kind)) {
      continue;
    }
    if (option >= last.size()) continue;
    if (last[option] != SIZE_MAX) {
      found.replacedBy.emplace_back(last[option], i);
      found.replaces.emplace_back(i, last[option]);
    }
    last[option] = i;
  }
  std::sort(found.replacedBy.begin(), found.replacedBy.end());
  return found;
}

std::string roleOf(const ParseTrace& trace, std::size_t i) {
  if (i >= trace.uses.size()) return i == trace.uses.size() ? "parsing stopped here" : "not parsed";
  const ArgumentUse& use = trace.uses[i];
  switch (use.role) {
    case ArgumentUse::positional: return "snapshot";
    case ArgumentUse::flag:
    case ArgumentUse::valueSwitch: return "switch " + trace.options[use.option].name;
    case ArgumentUse::value: return "value of " + trace.options[use.option].name;
  }
  return {};
}

bool needsNoQuotes(std::string_view word, const char* safe) {
  if (word.empty()) return false;
  for (const char c : word) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'))
      continue;
    if (std::strchr(safe, c) == nullptr) return false;
  }
  return true;
}

}  // namespace

ExplainMode explainModeOf(const char* value) {
  if (value == nullptr || *value == '\0' || std::strcmp(value, "0") == 0) return ExplainMode::off;
  if (std::strcmp(value, "only") == 0) return ExplainMode::dryRun;
  return ExplainMode::account;
}

void writeArgumentAccount(std::FILE* out, const std::vector<std::string>& expanded,
                          const ParseTrace& trace) {
  const cmdfile::ArgumentOrigins& origins = trace.origins;
  const std::size_t count = std::min(expanded.size(), origins.origins.size());
  Writer w(out);
  w << kPrefix << count << (count == 1 ? " argument" : " arguments")
    << (trace.expanded ? " after reading the command files\n"
                       : " read before the command files failed\n");
  for (std::size_t f = 0; f < origins.files.size(); ++f) {
    const cmdfile::SourceFile& file = origins.files[f];
    if (file.nameNote.empty()) continue;
    w << "  command file " << shownText(file.name) << ": " << file.nameNote << "\n";
  }
  const Replacements replacements = trace.expanded ? findReplacements(trace) : Replacements();
  auto replacedBy = replacements.replacedBy.begin();
  auto replaces = replacements.replaces.begin();
  auto note = origins.notes.begin();
  for (std::size_t i = 0; i < count; ++i) {
    w << "  [" << i + 1 << "] " << origins.place(origins.origins[i]) << ": ";
    if (trace.expanded) w << roleOf(trace, i) << ": ";
    w << shownText(expanded[i]) << "\n";
    for (; note != origins.notes.end() && note->argument == i; ++note)
      w << "      " << note->text << "\n";
    if (i < trace.uses.size() && trace.uses[i].role == ArgumentUse::value) {
      const Kind kind = trace.options[trace.uses[i].option].kind;
      if (kind == Kind::integer || kind == Kind::unsignedInteger) {
        const std::string remark = trailingTextNote(kind, expanded[i]);
        if (!remark.empty()) w << "      " << remark << "\n";
      }
    }
    for (; replaces != replacements.replaces.end() && replaces->first == i; ++replaces) {
      const std::size_t earlier = replaces->second;
      w << "      replaces [" << earlier + 1 << "] " << shownText(expanded[earlier]) << " ("
        << origins.place(origins.origins[earlier]) << ")\n";
    }
    for (; replacedBy != replacements.replacedBy.end() && replacedBy->first == i; ++replacedBy) {
      const std::size_t later = replacedBy->second;
      w << "      replaced by [" << later + 1 << "] " << shownText(expanded[later]) << " ("
        << origins.place(origins.origins[later]) << ")\n";
    }
  }
}

void writeTargetAccount(std::FILE* out, const std::string& given, const std::string& checked,
                        bool found) {
  Writer w(out);
  w << kPrefix << "target ";
  if (isWaveformDatabase(given)) {
    w << "waveform database " << shownText(given) << (found ? ": found\n" : ": not found\n");
    return;
  }
  w << "snapshot " << shownText(given) << ": " << shownText(kernelPath(given));
  if (checked == given && found) {
    w << " found\n";
    return;
  }
  w << " not found";
  if (given.compare(0, 5, "work.") != 0) {
    w << ", " << shownText(kernelPath("work." + given))
      << (found ? " found: the snapshot is " + shownText(checked) : std::string(" not found"));
  }
  w << "\n";
}

void writeCommandAccount(std::FILE* out, const std::string& commandText,
                         const std::string& programName, const std::vector<std::string>& expanded) {
#ifdef _WIN32
  std::string (*const word)(std::string_view) = windowsShellWord;
#else
  std::string (*const word)(std::string_view) = posixShellWord;
#endif
  Writer w(out);
  w << kPrefix << "command text: " << shownText(commandText) << "\n";
  w << kPrefix << "rerun with: " << word(programName);
  for (const std::string& argument : expanded) w << " " << word(argument);
  w << "\n";
}

std::string posixShellWord(std::string_view word) {
  if (needsNoQuotes(word, "-_.,:/=+@%")) return std::string(word);
  if (shownText(word) == word) {
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  // Control characters: bash's $'...', every byte that is not plain ASCII escaped.
  std::string quoted = "$'";
  for (const char c : word) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '\'') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (c == '\r') {
      quoted += "\\r";
    } else if (u < 0x20 || u >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      quoted += hex;
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string windowsShellWord(std::string_view word) {
  if (needsNoQuotes(word, "-_.,:/\\=+@")) return std::string(word);
  const std::string shown = shownText(word);  // control characters cannot be typed to cmd
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : shown) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(2 * backslashes + 1, '\\');
      quoted += '"';
    } else if (c == '%') {
      quoted.append(2 * backslashes, '\\');  // they stand before a quote now
      quoted += "\"^%\"";
    } else {
      quoted.append(backslashes, '\\');
      quoted += c;
    }
    backslashes = 0;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

}  // namespace KVEL
