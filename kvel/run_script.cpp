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

std::string snapshotDirectory(const std::string& snapshot) {
  return "kvel.dir/" + snapshot;
}

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

bool createRunScript(const CommandLineOptions& options, const std::string& snapshot,
                     const std::string& commandText, std::string* scriptPath, std::string* err) {
  const std::string directory = scriptDirectory(snapshot);
  // Reached through checked handles, created where missing: see
  // checked_folder.h for the rule on symbolic links.
  CheckedFolder folder;
  std::string detail;
  if (!folder.open(directory, true, &detail))
    return directoryFailure(directory, detail, err);

  std::string path = directory + "/kvel_script.tcl";
  // Written aside and moved into place, so that a shell sourcing the script
  // (this run's or a concurrent one's) never reads a half-written file.
  std::vector<std::string_view> lines;
  if (options.gui) {
    lines.push_back("load_feature core\n");
    lines.push_back("current_fileset\n");
  }
  lines.push_back("kvel ");
  lines.push_back(commandText);
  lines.push_back("\n");
  if (!FileReplacement(folder, "kvel_script.tcl").replace(lines, &detail))
    return scriptFailure(path, detail, err);
  *scriptPath = std::move(path);
  return true;
}

std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot,
                           const std::string& commandText) {
  std::string scriptPath, err;
  if (!createRunScript(options, snapshot, commandText, &scriptPath, &err)) {
    std::printf("%s\n", err.c_str());
    std::exit(1);
  }
  return scriptPath;
}

}  // namespace KVEL
