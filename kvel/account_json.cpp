// The JSON form of the account: one document with every argument (its text
// as used and as written, its place, role, option and notes), the files
// read, the target check, the command text, the rerun command as an array,
// the shell's arguments, and the status the launch ends with.
#include <charconv>
#include <cstring>

#include "kvel/account_reading.h"
#include "kvel/account_writer.h"
#include "kvel/cmdfile/program_text.h"
#include "kvel/json_text.h"
#include "kvel/launch_account.h"
#include "kvel/launcher.h"

namespace KVEL {

namespace {

using cmdfile::ArgumentNote;
using cmdfile::ArgumentOrigins;
using Role = ArgumentReading::Role;

// Fixed text and numbers gathered on the stack and appended to out at once,
// for the parts every argument repeats.
class Gathered {
public:
  explicit Gathered(std::string& out) : out_(out) {}
  ~Gathered() { flush(); }
  Gathered& operator<<(std::string_view text) {
    if (size_ + text.size() > sizeof text_) {
      flush();
      if (text.size() > sizeof text_) {
        out_.append(text.data(), text.size());
        return *this;
      }
    }
    std::memcpy(text_ + size_, text.data(), text.size());
    size_ += text.size();
    return *this;
  }
  Gathered& number(std::uint64_t value) {
    if (size_ + 20 > sizeof text_)
      flush();
    size_ = static_cast<std::size_t>(
        std::to_chars(text_ + size_, text_ + sizeof text_, value).ptr - text_);
    return *this;
  }
  // A JSON string (appendJsonString): here where the text goes as it is and
  // fits, else appended to out after what is gathered. True when text is UTF-8.
  bool string(std::string_view text) {
    if (text.size() <= kShortText && printableAsciiRun(text, '"', '\\') == text.size()) {
      if (size_ + text.size() + 2 > sizeof text_)
        flush();
      char* at = text_ + size_;
      *at++ = '"';
      std::memcpy(at, text.data(), text.size());
      at += text.size();
      *at++ = '"';
      size_ = static_cast<std::size_t>(at - text_);
      return true;
    }
    flush();
    return appendJsonString(out_, text);
  }
  // "name":"text" (appendJsonField): here where the text goes as it is and
  // fits, else appended to out after what is gathered.
  void field(std::string_view name, std::string_view text) {
    if (text.size() <= kShortText && printableAsciiRun(text, '"', '\\') == text.size()) {
      if (size_ + name.size() + text.size() + 6 > sizeof text_)
        flush();
      char* at = text_ + size_;
      *at++ = '"';
      std::memcpy(at, name.data(), name.size());
      at += name.size();
      std::memcpy(at, "\":\"", 3);
      at += 3;
      std::memcpy(at, text.data(), text.size());
      at += text.size();
      *at++ = '"';
      size_ = static_cast<std::size_t>(at - text_);
      return;
    }
    flush();
    appendJsonField(out_, name, text);
  }
  void flush() {
    out_.append(text_, size_);
    size_ = 0;
  }

private:
  static constexpr std::size_t kShortText = 128;
  std::string& out_;
  char text_[512];
  std::size_t size_ = 0;
};

// The count of ArgumentReading::Role values.
const int kRoles = static_cast<int>(Role::notParsed) + 1;

// A file index, or null for the command line.
void appendFile(std::string& out, std::uint32_t file) {
  if (file == ArgumentOrigins::kCommandLine)
    out += "null";
  else
    AccountWriter::appendNumber(out, file);
}

class JsonAccount : public LaunchAccount {
public:
  JsonAccount(std::FILE* out, bool dryRun, bool holdToEnd)
      : w_(out, holdToEnd), ownFile_(!holdToEnd) {
    w_ << "{\"kvel_explain\":1,\"dry_run\":" << (dryRun ? "true" : "false");
  }

  void arguments(const cmdfile::ArgumentList& expanded, const ParseTrace& trace) override {
    const ArgumentReading reading(expanded, trace);
    std::string& out = w_.text();
    out += ",\"files\":[";
    const auto& files = reading.origins().files;
    for (std::size_t f = 0; f < files.size(); ++f) {
      if (f != 0)
        out += ',';
      out += '{';
      appendJsonField(out, "name", files[f].name);
      out += ",\"from\":{\"file\":";
      appendFile(out, files[f].parent);
      out += ",\"line\":" + std::to_string(files[f].parentLine) + "}";
      if (!files[f].nameNote.empty()) {
        out += ',';
        appendJsonField(out, "name_notes", files[f].nameNote);
      }
      out += '}';
    }
    out += "],\"parsed\":";
    out += reading.parsed() ? "true" : "false";
    // The options the arguments name, each argument naming one by its index.
    out += ",\"options\":[";
    for (std::uint32_t k = 0; k < reading.optionCount(); ++k) {
      if (k != 0)
        out += ',';
      appendJsonString(out, reading.optionName(k));
    }
    out += "],\"arguments\":[";
    auto replacedBy = reading.replacedBy.begin();
    auto replaces = reading.replaces.begin();
    const auto& notes = reading.origins().notes;
    auto note = notes.begin();
    // The pieces each argument repeats, made once: its role and option.
    std::string roles[kRoles];
    for (int r = 0; r < kRoles; ++r) {
      roles[r] = ",\"role\":";
      appendJsonString(roles[r], ArgumentReading::roleName(static_cast<Role>(r)));
    }
    for (std::size_t i = 0; i < reading.count(); ++i) {
      Gathered gathered(out);
      gathered << (i != 0 ? std::string_view(",{\"index\":") : std::string_view("{\"index\":"));
      gathered.number(i + 1) << ",";
      const std::string_view text = reading.text(i);
      gathered.field("text", text);
      const std::string_view written = reading.written(i);
      if (written != text) {
        gathered << ",";
        gathered.field("written", written);
      }
      const cmdfile::ArgumentOrigin& origin = reading.origin(i);
      gathered << ",\"place\":[";
      if (origin.file == ArgumentOrigins::kCommandLine)
        gathered << "null";
      else
        gathered.number(origin.file);
      gathered << ",";
      gathered.number(origin.line);
      gathered << "]";
      const Role role = reading.role(i);
      gathered << roles[static_cast<int>(role)];
      const std::uint32_t option = reading.optionIndex(i);
      if (option != ArgumentReading::kNoOption) {
        gathered << ",\"option\":";
        gathered.number(option);
      }
      gathered.flush();
      // "notes" only where there is one.
      bool first = true;
      const auto add = [&](const char* kind, const std::string& text) {
        out += first ? ",\"notes\":[" : ",";
        first = false;
        out += "{\"kind\":";
        appendJsonString(out, kind);
        out += ',';
        appendJsonField(out, "text", text);
        out += '}';
      };
      for (; note != notes.end() && note->argument < i; ++note) {
      }
      for (; note != notes.end() && note->argument == i; ++note) {
        if (note->kind == ArgumentNote::expansion)
          add("expansion", note->text);
        else if (note->kind == ArgumentNote::loneQuote)
          add("lone quote", note->text);
      }
      if (reading.origin(i).dashAdded && (role == Role::value || role == Role::snapshot))
        add("second dash", "a second dash was added, as to a single-dash switch");
      if (role == Role::value) {
        const std::string remark = reading.trailingTextNote(i);
        if (!remark.empty())
          add("number", remark);
      }
      if (!first)
        out += ']';
      for (; replaces != reading.replaces.end() && replaces->first == i; ++replaces)
      {
        out += ",\"replaces\":";
        AccountWriter::appendNumber(out, replaces->second + 1);
      }
      for (; replacedBy != reading.replacedBy.end() && replacedBy->first == i; ++replacedBy)
      {
        out += ",\"replaced_by\":";
        AccountWriter::appendNumber(out, replacedBy->second + 1);
      }
      out += '}';
      w_.pass();
    }
    out += ']';
  }

  void target(const std::string& given, const std::string& checked, bool found) override {
    std::string& out = w_.text();
    out += ",\"target\":{";
    appendJsonField(out, "given", given);
    out += ",\"kind\":";
    const bool database = isWaveformDatabase(given);
    appendJsonString(out, database ? "waveform database" : "snapshot");
    out += ",\"tried\":[";
    std::vector<std::string> tried;
    if (database) {
      tried.push_back(given);
    } else {
      tried.push_back(kernelPath(given));
      if (given.compare(0, 5, "work.") != 0)
        tried.push_back(kernelPath("work." + given));
    }
    for (std::size_t k = 0; k < tried.size(); ++k) {
      if (k != 0)
        out += ',';
      out += '{';
      appendJsonField(out, "path", tried[k]);
      // Only the last one tried can have been found.
      const bool here = found && (k + 1 == tried.size() || checked == given);
      out += here ? ",\"found\":true}" : ",\"found\":false}";
      if (here)
        break;
    }
    out += "],\"found\":";
    out += found ? "true," : "false,";
    appendJsonField(out, "snapshot", checked);
    out += '}';
  }

  void command(const FileContent& commandText, const std::string& programName,
               const cmdfile::ArgumentList& arguments) override {
    std::string& out = w_.text();
    out += ',';
    w_.jsonField("command_text", commandText);
    out += ",\"rerun\":[";
    appendJsonString(out, programName);
    bool utf8 = isUtf8(programName);
    {
      Gathered gathered(out);
      for (std::string_view argument : arguments) {
        gathered << ",";
        utf8 = gathered.string(argument) && utf8;
        if (out.size() >= AccountWriter::kPiece) {
          gathered.flush();
          w_.pass();
        }
      }
    }
    out += ']';
    if (!utf8) {
      // Every word again in hex, where one is not UTF-8.
      out += ",\"rerun_hex\":[";
      appendJsonHex(out, programName);
      for (std::string_view argument : arguments) {
        out += ',';
        appendJsonHex(out, argument);
        w_.pass();
      }
      out += ']';
    }
  }

  void shell(const std::vector<std::string>& arguments) override {
    std::string& out = w_.text();
    out += ',';
    appendJsonArray(out, "shell_arguments", arguments);
  }

  bool writeAsProduced() override {
    if (ownFile_)
      return false;
    w_.writeAsProduced();
    return true;
  }

  void end(int status, const std::string& message, bool launched) override {
    std::string& out = w_.text();
    out += ",\"launched\":";
    out += launched ? "true" : "false";
    out += ",\"status\":";
    out += launched ? std::string("null") : std::to_string(status);
    if (!message.empty()) {
      out += ',';
      appendJsonField(out, "message", message);
    }
    out += "}\n";
    w_.flush();
  }

private:
  AccountWriter w_;
  bool ownFile_;  // KVEL_EXPLAIN_FILE's file, not standard error
};

}  // namespace

std::unique_ptr<LaunchAccount> makeJsonAccount(std::FILE* out, bool dryRun, bool holdToEnd) {
  return std::make_unique<JsonAccount>(out, dryRun, holdToEnd);
}

}  // namespace KVEL
