#include "tests/hardening/launch_workspace.h"

#include <algorithm>

#include <boost/filesystem.hpp>

#include "framework/testdouble/recorder.h"

namespace hardening {

void LaunchWorkspace::kernel(const std::string& snapshot) {
  testsupport::writeFile(dir_.file("kvel.dir/" + snapshot + "/kvelk.exe"), "");
}

testsupport::RunResult LaunchWorkspace::run(const std::vector<std::string>& args,
                                            const std::string& program) const {
  testsupport::RunOptions options;
  options.cwd = dir_.path();
  options.setEnv["ZEKDOUBLE_RECORD"] = dir_.file("record");
  options.unsetEnv = {"ZEKDOUBLE_STATUS", "ZEKDOUBLE_THROW", "ZEKDOUBLE_EVENT", "ZEKDOUBLE_FAIL",
                      "ZEKDOUBLE_FAULT"};
  return testsupport::run(program, args, options);
}

testsupport::RunResult LaunchWorkspace::runUnder(const std::string& shellPrefix,
                                                 const std::vector<std::string>& args) const {
  // The output goes through a pipe, which no file-size limit applies to, and
  // the status follows as the last line.
  std::vector<std::string> shellArgs{
      "-c", "{ " + shellPrefix + " \"$0\" \"$@\"; echo \"status=$?\"; } 2>&1 | cat",
      KVEL_DOUBLE_BIN};
  shellArgs.insert(shellArgs.end(), args.begin(), args.end());
  testsupport::RunResult result = run(shellArgs, "/bin/sh");
  const std::string::size_type last = result.out.rfind("status=");
  if (result.exitStatus == 0 && last != std::string::npos &&
      (last == 0 || result.out[last - 1] == '\n')) {
    result.exitStatus = std::stoi(result.out.substr(last + 7));
    result.out.erase(last);
  } else {
    result.exitStatus = -1;
  }
  return result;
}

std::vector<std::vector<std::string>> LaunchWorkspace::shellCalls() const {
  std::vector<std::vector<std::string>> calls;
  for (const zekdouble::Fields& line : zekdouble::readRecordFile(dir_.file("record")))
    if (!line.empty() && line[0] == "main") calls.push_back(line);
  return calls;
}

std::vector<std::string> LaunchWorkspace::list(const std::string& relative) const {
  std::vector<std::string> names;
  for (const auto& entry : boost::filesystem::directory_iterator(dir_.file(relative)))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace hardening
