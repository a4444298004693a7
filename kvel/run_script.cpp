#include "kvel/run_script.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string_view>

#include "kvel/simulation_command.h"

namespace KVEL {

namespace {

const char kRecord[] = "kvel_script.tcl";

// detail: the reason, printed first; may be empty.
bool failure(const std::string& detail, const std::string& message, std::string* err) {
  *err = detail.empty() ? message : detail + "\n" + message;
  return false;
}

bool directoryFailure(const std::string& directory, const std::string& detail, std::string* err) {
  return failure(detail, "ERROR: Unable to create kvel working directory " + directory + ".", err);
}

bool scriptFailure(const std::string& scriptPath, const std::string& detail, std::string* err) {
  return failure(detail, "ERROR: Unable to create script file " + scriptPath + ".", err);
}

std::string percentEscaped(char c) {
  static const char kHex[] = "0123456789ABCDEF";
  const unsigned char byte = static_cast<unsigned char>(c);
  return std::string{'%', kHex[byte >> 4], kHex[byte & 15]};
}

std::string ownScriptInFirstPlace() {
  return PrivateFolder::firstCandidate() + "/" + LaunchFile::firstName();
}

// The scripts' lines; the command text given whole, or (null) made from the
// options each time the content is asked for, as it is written. Running out
// of memory while making it stops the file step, which leaves the file as
// it was; outOfMemory() then tells.
class ScriptContent final : public FileContent {
public:
  ScriptContent(const CommandLineOptions& options, const std::string& snapshot,
                const std::string* commandText)
      : options_(options), snapshot_(snapshot), commandText_(commandText) {}
  bool produce(PieceSink& sink) const override {
    try {
      if (options_.gui && !(sink.put("load_feature core\n") && sink.put("current_fileset\n")))
        return false;
      if (!sink.put("kvel "))
        return false;
      const bool command = commandText_ != nullptr
                               ? sink.put(*commandText_)
                               : writeSimulationCommand(options_, snapshot_, sink);
      return command && sink.put("\n");
    } catch (const std::bad_alloc&) {
      outOfMemory_ = true;
      return false;
    }
  }
  bool outOfMemory() const { return outOfMemory_; }

private:
  const CommandLineOptions& options_;
  const std::string& snapshot_;
  const std::string* const commandText_;
  mutable bool outOfMemory_ = false;
};

}  // namespace

std::string snapshotDirectory(const std::string& snapshot) { return "kvel.dir/" + snapshot; }

std::string scriptDirectory(const std::string& snapshot) {
  std::string directory = "kvel.dir/";
  const std::string::size_type root = rootLength(snapshot);
  for (std::string::size_type i = 0; i < root; ++i)
    directory += snapshot[i] == ':' || isPathSeparator(snapshot[i]) ? percentEscaped(snapshot[i])
                                                                    : std::string(1, snapshot[i]);
  std::string::size_type start = root;
  for (std::string::size_type i = root; i <= snapshot.size(); ++i) {
    if (i < snapshot.size() && !isPathSeparator(snapshot[i]))
      continue;
    const std::string part = snapshot.substr(start, i - start);
    if (isParentReference(part)) {
      for (char c : part)
        directory += c == '.' ? percentEscaped(c) : std::string(1, c);
    } else {
      directory += part;
    }
    if (i < snapshot.size())
      directory += snapshot[i];
    start = i + 1;
  }
  return directory;
}

std::string droppedEndRefusal(const std::string& snapshot) {
  for (const std::string& part : pathComponents(snapshot))
    if (losesItsEnd(part))
      return "ERROR: The snapshot or WDB path \"" + snapshot +
             "\" has a name that ends in a blank or a dot, which the system drops; it would "
             "name another folder.";
  return "";
}

std::string logIsRecordRefusal(const std::string& log) {
  return "ERROR: [shell] log file \"" + log + "\" is the -source script; not overwritten";
}

RunScript::RunScript() : own_(private_.folder()) {}

RunScript::~RunScript() {
  std::string ignored;
  end(&ignored);
}

bool RunScript::write(const CommandLineOptions& options, const std::string& snapshot,
                      const std::string& commandText, std::string* err) {
  return writeScripts(options, snapshot, &commandText, err);
}

bool RunScript::write(const CommandLineOptions& options, const std::string& snapshot,
                      std::string* err) {
  return writeScripts(options, snapshot, nullptr, err);
}

bool RunScript::writeScripts(const CommandLineOptions& options, const std::string& snapshot,
                             const std::string* commandText, std::string* err) {
  // An earlier own script that cannot be removed is left to the cleaning.
  std::string detail;
  end(&detail);
  path_.clear();
  record_.clear();
  const std::string directory = scriptDirectory(snapshot);
  // Reached through checked handles, created where missing: see
  // checked_folder.h for the rule on symbolic links.
  if (!folder_.open(directory, true, &detail))
    return directoryFailure(directory, detail, err);

  const std::string record = directory + "/" + kRecord;
  // Made once for each file: the command text is never held whole here.
  const ScriptContent lines(options, snapshot, commandText);
  // Written aside and moved into place, so that a reader never sees a
  // half-written record.
  const bool replaced = FileReplacement(folder_, kRecord).replace(lines, &detail);
  // Out of memory: told the way the launch tells it, the file as it was.
  if (lines.outOfMemory())
    throw std::bad_alloc();
  if (!replaced)
    return scriptFailure(record, detail, err);
  record_ = record;
  // The shell never sources the record, which others may be able to write.
  if (!private_.open(false, &detail))
    return scriptFailure(ownScriptInFirstPlace(), detail, err);
  // What a failed attempt left is the cleaning's.
  const bool created = own_.create(lines, &detail);
  if (lines.outOfMemory())
    throw std::bad_alloc();
  if (!created)
    return scriptFailure(private_.folder().name() + "/" + LaunchFile::firstName(), detail, err);
  path_ = private_.folder().name() + "/" + own_.name();
  return true;
}

bool RunScript::isRecord(const std::string& path) const {
  return !record_.empty() && folder_.sameFile(kRecord, path);
}

bool RunScript::end(std::string* err) { return own_.remove(err); }

bool RunScript::check(const std::string& snapshot, const std::string& log, std::string* err,
                      bool* logRefused) {
  *logRefused = false;
  const std::string directory = scriptDirectory(snapshot);
  const std::string record = directory + "/" + kRecord;
  CheckedFolder folder;
  std::string detail;
  // A folder that is missing is made by write(); one that cannot be reached
  // for another reason than a refused link is told by write() alone.
  if (!folder.open(directory, false, &detail) && !detail.empty())
    return directoryFailure(directory, detail, err);
  if (folder.isOpen()) {
    if (!FileReplacement(folder, kRecord).check(&detail))
      return scriptFailure(record, detail, err);
    if (!log.empty() && folder.sameFile(kRecord, log)) {
      *logRefused = true;
      *err = logIsRecordRefusal(log);
      return false;
    }
  }
  PrivateFolder place;
  if (!place.open(true, &detail))
    return scriptFailure(ownScriptInFirstPlace(), detail, err);
  return true;
}

RunScript& launchRunScript() {
  static RunScript script;
  return script;
}

namespace {

// writeRunScript, with the command text given whole or (null) made from the
// options as it is written.
std::string writeLaunchScripts(const CommandLineOptions& options, const std::string& snapshot,
                               const std::string* commandText) {
  std::string err;
  RunScript& script = launchRunScript();
  const bool written = commandText != nullptr ? script.write(options, snapshot, *commandText, &err)
                                              : script.write(options, snapshot, &err);
  if (!written) {
    std::printf("%s\n", err.c_str());
    std::exit(1);
  }
  return script.path();
}

}  // namespace

std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot,
                           const std::string& commandText) {
  return writeLaunchScripts(options, snapshot, &commandText);
}

std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot) {
  return writeLaunchScripts(options, snapshot, nullptr);
}

}  // namespace KVEL
