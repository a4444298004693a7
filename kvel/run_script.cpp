#include "kvel/run_script.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <boost/system/error_code.hpp>

#include "kvel/cmdfile/file_status.h"
#include "kvel/file_replacement.h"

namespace KVEL {

namespace {

bool directoryFailure(const std::string& directory, std::string* err) {
  *err = "ERROR: Unable to create kvel working directory " + directory + ".";
  return false;
}

// detail: the file replacement's own message, which goes first; may be empty.
bool scriptFailure(const std::string& scriptPath, const std::string& detail, std::string* err) {
  *err = detail.empty() ? std::string() : detail + "\n";
  *err += "ERROR: Unable to create script file " + scriptPath + ".";
  return false;
}

}  // namespace

std::string snapshotDirectory(const std::string& snapshot) {
  return "kvel.dir/" + snapshot;
}

bool createRunScript(const CommandLineOptions& options, const std::string& snapshot,
                     const std::string& commandText, std::string* scriptPath, std::string* err) {
  std::string directory = snapshotDirectory(snapshot);
  // Another user's symbolic link on the way is not followed: a user who may
  // write into a shared working folder could otherwise make this launch
  // create or overwrite any file this user may write. Checked again after
  // the creation, which could have met a link made meanwhile.
  if (!symbolicLinksTrusted(directory))
    return directoryFailure(directory, err);
  boost::system::error_code error;
  boost::filesystem::create_directories(boost::filesystem::path(directory), error);
  if (error || !symbolicLinksTrusted(directory))
    return directoryFailure(directory, err);

  std::string path = directory + "/kvel_script.tcl";
  if (!symbolicLinksTrusted(path))
    return scriptFailure(path, "", err);
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
  std::string detail;
  if (!FileReplacement(path).replace(lines, &detail))
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
