#include "kvel/run_script.h"

#include <cstdio>
#include <cstdlib>

#include <boost/filesystem/operations.hpp>
#include <boost/system/error_code.hpp>

#include "kvel/file_replacement.h"

namespace KVEL {

namespace {

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
  boost::system::error_code error;
  boost::filesystem::create_directories(boost::filesystem::path(directory), error);
  if (error) {
    std::printf("ERROR: Unable to create kvel working directory %s.\n", directory.c_str());
    std::exit(1);
  }

  std::string scriptPath = directory + "/kvel_script.tcl";
  // Written aside and moved into place, so that a shell sourcing the script
  // (this run's or a concurrent one's) never reads a half-written file.
  FileReplacement replacement(scriptPath);
  std::FILE* file = replacement.open();
  if (!file)
    scriptFailure(scriptPath);

  bool written = true;
  if (options.gui) {
    written = std::fprintf(file, "%s\n", "load_feature core") >= 0 && written;
    written = std::fprintf(file, "%s\n", "current_fileset") >= 0 && written;
  }
  written = std::fprintf(file, "kvel %s\n", commandText.c_str()) >= 0 && written;
  if (!written) {
    replacement.discard();
    scriptFailure(scriptPath);
  }
  if (!replacement.commit())
    scriptFailure(scriptPath);
  return scriptPath;
}

}  // namespace KVEL
