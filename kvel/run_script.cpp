#include "kvel/run_script.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <boost/system/error_code.hpp>

#include "kvel/file_replacement.h"
#include "kvel/cmdfile/file_status.h"

namespace KVEL {

namespace {

[[noreturn]] void directoryFailure(const std::string& directory) {
  std::printf("ERROR: Unable to create kvel working directory %s.\n", directory.c_str());
  std::exit(1);
}

[[noreturn]] void scriptFailure(const std::string& scriptPath) {
  std::printf("ERROR: Unable to create script file %s.\n", scriptPath.c_str());
  std::exit(1);
}

}  // namespace

std::string snapshotDirectory(const std::string& snapshot) {
  return "kvel.dir/" + snapshot;
}

std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot,
                           const std::string& commandText) {
  std::string directory = snapshotDirectory(snapshot);
  // Another user's symbolic link on the way is not followed: a user who may
  // write into a shared working folder could otherwise make this launch
  // create or overwrite any file this user may write. Checked again after
  // the creation, which could have met a link made meanwhile.
  if (!symbolicLinksTrusted(directory))
    directoryFailure(directory);
  boost::system::error_code error;
  boost::filesystem::create_directories(boost::filesystem::path(directory), error);
  if (error || !symbolicLinksTrusted(directory))
    directoryFailure(directory);

  std::string scriptPath = directory + "/kvel_script.tcl";
  if (!symbolicLinksTrusted(scriptPath))
    scriptFailure(scriptPath);
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
  std::string err;
  if (!FileReplacement(scriptPath).replace(lines, &err)) {
    if (!err.empty())
      std::printf("%s\n", err.c_str());
    scriptFailure(scriptPath);
  }
  return scriptPath;
}

}  // namespace KVEL
