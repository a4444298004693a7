#include "kvel/run_script.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

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
  std::vector<std::string_view> lines;
  if (options.gui) {
    lines.push_back("load_feature core\n");
    lines.push_back("current_fileset\n");
  }
  lines.push_back("kvel ");
  lines.push_back(commandText);
  lines.push_back("\n");
  // Written aside and moved into place, so that a reader never sees a
  // half-written record.
  if (!FileReplacement(folder_, kRecord).replace(lines, &detail))
    return scriptFailure(record, detail, err);
  record_ = record;
  // The shell never sources the record, which others may be able to write.
  if (!private_.open(false, &detail))
    return scriptFailure(ownScriptInFirstPlace(), detail, err);
  // What a failed attempt left is the cleaning's.
  if (!own_.create(lines, &detail))
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

std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot,
                           const std::string& commandText) {
  std::string err;
  RunScript& script = launchRunScript();
  if (!script.write(options, snapshot, commandText, &err)) {
    std::printf("%s\n", err.c_str());
    std::exit(1);
  }
  return script.path();
}

}  // namespace KVEL
