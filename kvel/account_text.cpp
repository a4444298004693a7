// The text form of the account: a block per run of arguments from one file,
// headed by the chain that led to it; a switch and its value on one line
// where one line of a file gave both; the settings given; then the target
// check, the command text, the rerun line and the shell's arguments.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kvel/account_reading.h"
#include "kvel/account_writer.h"
#include "kvel/json_text.h"
#include "kvel/launch_account.h"
#include "kvel/launcher.h"
#include "kvel/rerun_line.h"

namespace KVEL {

namespace {

using cmdfile::ArgumentNote;
using cmdfile::shownText;
using Role = ArgumentReading::Role;

const char kPrefix[] = "KVEL_EXPLAIN: ";

// A value in double quotes, so that an empty value and blanks at its ends show.
std::string quotedValue(std::string_view text) { return "\"" + shownText(text) + "\""; }

// A word of the shell's arguments: quoted where it is empty or holds a blank.
std::string shellWord(const std::string& text) {
  if (text.empty() || text.find_first_of(" \t") != std::string::npos)
    return quotedValue(text);
  return shownText(text);
}

// Writes number in decimal at at (20 places at most); the end of it.
char* putNumber(char* at, std::uint64_t number) {
  char digits[20];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  while (count != 0)
    *at++ = digits[--count];
  return at;
}

// Lists with more values than this show their first and last ones.
const std::size_t kListShown = ArgumentReading::kSettingShown;

class TextAccount : public LaunchAccount {
public:
  TextAccount(std::FILE* out, bool dryRun, const char* unknownValue)
      : w_(out, false), dryRun_(dryRun), unknown_(unknownValue != nullptr ? unknownValue : "") {
    if (unknownValue != nullptr) {
      w_ << kPrefix << "value " << quotedValue(unknown_) << " not known, taken as 1 ("
         << kExplainValues << ")\n";
    }
  }

  // A value in double quotes, so that an empty value and blanks at its ends show.
  void quoted(std::string_view text) { w_.quoted(text); }
  void place(const ArgumentReading& reading, std::size_t i) {
    reading.appendShortPlace(w_.text(), i);
  }
  // One line of an override: "replaces [3] "x" (a.f:2)".
  void override(const ArgumentReading& reading, const char* what, std::size_t other) {
    w_ << "        " << what << " [" << other + 1 << "] ";
    quoted(reading.text(other));
    w_ << " (";
    place(reading, other);
    w_ << ")\n";
  }

  void arguments(const cmdfile::ArgumentList& expanded, const ParseTrace& trace) override {
    const ArgumentReading reading(expanded, trace);
    const std::size_t count = reading.count();
    w_ << kPrefix << count << (count == 1 ? " argument" : " arguments")
       << (reading.parsed() ? " after reading the command files\n"
                            : " read before the command files failed\n");
    for (const cmdfile::SourceFile& file : reading.origins().files) {
      if (file.nameNote.empty())
        continue;
      w_ << "  command file " << shownText(file.name) << ": " << file.nameNote << "\n";
    }
    replacedBy_ = reading.replacedBy.begin();
    replaces_ = reading.replaces.begin();
    note_ = reading.origins().notes.begin();
    std::uint32_t file = UINT32_MAX - 1;
    for (std::size_t i = 0; i < count; ++i) {
      const cmdfile::ArgumentOrigin& origin = reading.origin(i);
      if (i == 0 || origin.file != file) {
        file = origin.file;
        w_ << "  " << reading.fileHeading(file) << "\n";
      }
      const bool paired = reading.role(i) == Role::valueSwitch && i + 1 < count &&
                          reading.role(i + 1) == Role::value &&
                          reading.origin(i + 1).file == origin.file &&
                          (origin.file == cmdfile::ArgumentOrigins::kCommandLine ||
                           reading.origin(i + 1).line == origin.line);
      if (paired && plainPairLine(reading, i)) {
        notes(reading, i);
        notes(reading, i + 1);
        ++i;
        w_.pass();
        continue;
      }
      indexesAndPlace(reading, i, paired);
      if (paired) {
        w_.shown(reading.written(i));
        w_ << " ";
        quoted(reading.text(i + 1));
        writtenBeside(reading, i + 1);
        w_ << "\n";
        notes(reading, i);
        notes(reading, i + 1);
        ++i;
      } else {
        argument(reading, i);
        notes(reading, i);
      }
      w_.pass();
    }
    settings(reading);
    w_.endStep();
  }

  void target(const std::string& given, const std::string& checked, bool found) override {
    w_ << kPrefix << "target ";
    if (isWaveformDatabase(given)) {
      w_ << "waveform database " << shownText(given) << (found ? ": found\n" : ": not found\n");
    } else {
      w_ << "snapshot " << shownText(given) << ": " << shownText(kernelPath(given));
      if (checked == given && found) {
        w_ << " found\n";
      } else {
        w_ << " not found";
        if (given.compare(0, 5, "work.") != 0) {
          w_ << ", " << shownText(kernelPath("work." + given))
             << (found ? " found: the snapshot is " + shownText(checked)
                       : std::string(" not found"));
        }
        w_ << "\n";
      }
    }
    w_.endStep();
  }

  void command(const FileContent& commandText, const std::string& programName,
               const cmdfile::ArgumentList& arguments) override {
    w_ << kPrefix << "command text: ";
    w_.shown(commandText);
    w_ << "\n";
#ifdef _WIN32
    std::vector<std::string> words{programName};
    for (std::string_view argument : arguments)
      words.emplace_back(argument);
    std::string line;
    std::string reason;
    if (!cmdLine(words, &line, &reason)) {
      w_ << kPrefix << "no rerun line for cmd: " << reason << "\n";
    } else {
      w_ << kPrefix << "rerun with: " << line << "\n";
      if (!holdsForBatchFile(line))
        w_ << kPrefix << "the rerun line holds %: for cmd's prompt or cmd /c, not a .bat file\n";
    }
#else
    w_ << kPrefix << "rerun with: " << posixShellLinePrefix(programName, arguments)
       << posixShellWord(programName);
    for (std::string_view argument : arguments) {
      w_ << ' ';
      appendPosixShellWord(w_.text(), argument);
      w_.pass();
    }
    w_ << "\n";
#endif
    w_.endStep();
  }

  void shell(const std::vector<std::string>& arguments) override {
    w_ << kPrefix << "shell arguments:";
    for (const std::string& argument : arguments)
      w_ << " " << shellWord(argument);
    w_ << "\n";
    w_.endStep();
  }

  void end(int status, const std::string&, bool launched) override {
    if (dryRun_ && !launched && status == 0)
      w_ << kPrefix << "dry run: no run script written, no shell started\n";
    w_.flush();
  }

private:
  // "    [1] [2] file:line: ", the second index for a pair, gathered on the
  // stack and appended at once: every line of a large account begins so.
  void indexesAndPlace(const ArgumentReading& reading, std::size_t i, bool paired) {
    char head[64];  // two indexes of at most 20 digits and their brackets
    char* at = head;
    std::memcpy(at, "    [", 5);
    at = putNumber(at + 5, i + 1);
    std::memcpy(at, "] ", 2);
    at += 2;
    if (paired) {
      *at++ = '[';
      at = putNumber(at, i + 2);
      std::memcpy(at, "] ", 2);
      at += 2;
    }
    std::string& out = w_.text();
    out.append(head, static_cast<std::size_t>(at - head));
    reading.appendShortPlace(out, i);
    out.append(": ", 2);
  }

  // The line of a switch and its value, "    [1] [2] file:line: -switch "value"
  // (written ...)", made on the stack and appended at once where every piece
  // goes as it is and is short, as most are. False, with nothing written,
  // otherwise.
  bool plainPairLine(const ArgumentReading& reading, std::size_t i) {
    constexpr std::size_t kShort = 256;
    const auto plain = [](std::string_view text) {
      return text.size() <= kShort && printableAsciiRun(text, 0x7F, 0x7F) == text.size();
    };
    const std::string_view prefix = reading.placePrefix(reading.origin(i).file);
    const std::string_view name = reading.written(i);
    const std::string_view value = reading.text(i + 1);
    const std::string_view written = reading.written(i + 1);
    const bool writtenShown = written != value;
    if (prefix.size() > kShort || !plain(name) || !plain(value) ||
        (writtenShown && !plain(written)))
      return false;
    char line[4 * kShort + 128];
    char* at = line;
    const auto put = [&at](std::string_view text) {
      std::memcpy(at, text.data(), text.size());
      at += text.size();
    };
    put("    [");
    at = putNumber(at, i + 1);
    put("] [");
    at = putNumber(at, i + 2);
    put("] ");
    put(prefix);
    at = putNumber(at, reading.origin(i).line);
    put(": ");
    put(name);
    put(" \"");
    put(value);
    put("\"");
    if (writtenShown) {
      put(" (written ");
      put(written);
      put(")");
    }
    put("\n");
    w_.text().append(line, static_cast<std::size_t>(at - line));
    return true;
  }

  // One argument alone on its line.
  void argument(const ArgumentReading& reading, std::size_t i) {
    const Role role = reading.role(i);
    switch (role) {
      case Role::flag:
      case Role::valueSwitch:
        w_.shown(reading.written(i));
        break;
      case Role::value:
        w_ << "value of " << reading.option(i) << " ";
        quoted(reading.text(i));
        break;
      case Role::snapshot:
        w_ << "snapshot ";
        quoted(reading.text(i));
        break;
      case Role::stopped:
      case Role::notParsed:
        w_ << ArgumentReading::roleName(role) << ": ";
        quoted(reading.text(i));
        break;
      case Role::unparsed:
        quoted(reading.text(i));
        break;
    }
    if (role != Role::flag && role != Role::valueSwitch)
      writtenBeside(reading, i);
    w_ << "\n";
  }

  void writtenBeside(const ArgumentReading& reading, std::size_t i) {
    const std::string_view written = reading.written(i);
    if (written != reading.text(i)) {
      w_ << " (written ";
      w_.shown(written);
      w_ << ")";
    }
  }

  void notes(const ArgumentReading& reading, std::size_t i) {
    const auto& all = reading.origins().notes;
    for (; note_ != all.end() && note_->argument < i; ++note_) {
    }
    for (; note_ != all.end() && note_->argument == i; ++note_) {
      if (note_->kind != ArgumentNote::written)
        w_ << "        " << note_->text << "\n";
    }
    const Role role = reading.role(i);
    if (reading.origin(i).dashAdded && (role == Role::value || role == Role::snapshot))
      w_ << "        a second dash was added, as to a single-dash switch\n";
    if (role == Role::value) {
      const std::string remark = reading.trailingTextNote(i);
      if (!remark.empty())
        w_ << "        " << remark << "\n";
    }
    for (; replaces_ != reading.replaces.end() && replaces_->first == i; ++replaces_)
      override(reading, "replaces", replaces_->second);
    for (; replacedBy_ != reading.replacedBy.end() && replacedBy_->first == i; ++replacedBy_)
      override(reading, "replaced by", replacedBy_->second);
  }

  void settings(const ArgumentReading& reading) {
    const std::vector<ArgumentReading::Setting> given = reading.settings();
    if (given.empty())
      return;
    w_ << kPrefix << "settings given (the last value counts; lists keep each)\n";
    for (const ArgumentReading::Setting& setting : given) {
      const std::vector<std::size_t>& at = setting.arguments;
      if (setting.flag) {
        w_ << "  " << setting.option << " on, [" << at.back() + 1 << "] "
           << reading.shortPlace(at.back()) << "\n";
        continue;
      }
      if (!setting.list) {
        w_ << "  " << setting.option << " ";
        quoted(reading.text(at.back()));
        w_ << ", [" << at.back() + 1 << "] " << reading.shortPlace(at.back()) << "\n";
        continue;
      }
      const bool cut = setting.count > kListShown;
      w_ << "  " << setting.option << ", " << setting.count
         << (setting.count == 1 ? " value" : " values")
         << (cut ? ", the first and last ones:\n" : ":\n");
      for (std::size_t k = 0; k < at.size(); ++k) {
        if (cut && k == kListShown / 2)
          w_ << "    ...\n";
        w_ << "    ";
        quoted(reading.text(at[k]));
        w_ << ", [" << at[k] + 1 << "] " << reading.shortPlace(at[k]) << "\n";
        w_.pass();
      }
    }
  }

  AccountWriter w_;
  bool dryRun_;
  std::string unknown_;
  std::vector<std::pair<std::size_t, std::size_t>>::const_iterator replacedBy_, replaces_;
  std::vector<cmdfile::ArgumentNote>::const_iterator note_;
};

}  // namespace

std::unique_ptr<LaunchAccount> makeTextAccount(std::FILE* out, bool dryRun,
                                               const char* unknownValue) {
  return std::make_unique<TextAccount>(out, dryRun, unknownValue);
}

}  // namespace KVEL
