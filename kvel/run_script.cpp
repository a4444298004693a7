#include "kvel/run_script.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "kvel/checked_folder.h"
#include "kvel/file_replacement.h"

namespace KVEL {

namespace {

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

}  // namespace

std::string snapshotDirectory(const std::string& snapshot) { return "kvel.dir/" + snapshot; }

std::string scriptDirectory(const std::string& snapshot) {
  std::string directory = "kvel.dir/";
  std::string::size_type start = 0;
  for (std::string::size_type i = 0; i <= snapshot.size(); ++i) {
    if (i < snapshot.size() && !isPathSeparator(snapshot[i]))
      continue;
    const std::string part = snapshot.substr(start, i - start);
    if (isParentReference(part)) {
      for (char c : part)
        directory += c == '.' ? "%2E" : std::string(1, c);
    } else {
      directory += part;
    }
    if (i < snapshot.size())
      directory += snapshot[i];
    start = i + 1;
  }
  return directory;
}

RunScript::RunScript() : own_(folder_) {}

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

  const std::string record = directory + "/kvel_script.tcl";
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
  if (!FileReplacement(folder_, "kvel_script.tcl").replace(lines, &detail))
    return scriptFailure(record, detail, err);
  record_ = record;
  // What a failed attempt left is the cleaning's.
  path_ = own_.create(lines, &detail) ? directory + "/" + own_.name() : record;
  return true;
}

bool RunScript::isRecord(const std::string& path) const {
  return !record_.empty() && folder_.sameFile("kvel_script.tcl", path);
}

bool RunScript::end(std::string* err) { return own_.remove(err); }

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
