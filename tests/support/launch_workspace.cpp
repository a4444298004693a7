#include "tests/support/launch_workspace.h"

#include <algorithm>
#include <regex>

#include <boost/filesystem.hpp>

namespace testsupport {

void LaunchWorkspace::kernel(const std::string& snapshot) {
  file("kvel.dir/" + snapshot + "/kvelk.exe");
}

void LaunchWorkspace::file(const std::string& relative, const std::string& content) {
  writeFile(dir_.file(relative), content);
}

std::string LaunchWorkspace::read(const std::string& relative) const {
  return readFile(dir_.file(relative));
}

RunResult LaunchWorkspace::run(const std::string& program, const std::vector<std::string>& args,
                               RunOptions options, const std::string& argv0) const {
  options.cwd = dir_.path();
  for (const char* control : {"ZEKDOUBLE_STATUS", "ZEKDOUBLE_THROW", "ZEKDOUBLE_EVENT",
                              "ZEKDOUBLE_PROXY", "ZEKDOUBLE_FAIL", "ZEKDOUBLE_FAULT"})
    options.unsetEnv.push_back(control);
  options.setEnv["ZEKDOUBLE_RECORD"] = record();
  return runWithArgv0(program, argv0.empty() ? program : argv0, args, options);
}

std::string ownScriptShown(const std::string& text) {
  static const std::regex inPrivate(
      R"([^\s{}"]*[/\\]kvel-[^/\\\s{}"]+/\.~kvel\.[1-9][0-9]*\.(0|[1-9][0-9]*)\.tcl)");
  static const std::regex own(R"(/\.~kvel\.[1-9][0-9]*\.(0|[1-9][0-9]*)\.tcl)");
  return std::regex_replace(std::regex_replace(text, inPrivate, "<own>"), own, "/<own>");
}

std::vector<zekdouble::Fields> LaunchWorkspace::calls(const std::string& operation) const {
  std::vector<zekdouble::Fields> found;
  for (const zekdouble::Fields& line : zekdouble::readRecordFile(record()))
    if (!line.empty() && line[0] == operation)
      found.push_back(line);
  return found;
}

std::vector<zekdouble::Fields> LaunchWorkspace::shellCallsShown() const {
  std::vector<zekdouble::Fields> found = calls("main");
  for (zekdouble::Fields& line : found)
    for (std::string& field : line)
      field = ownScriptShown(field);
  return found;
}

std::vector<std::string> LaunchWorkspace::list(const std::string& relative) const {
  std::vector<std::string> names;
  for (const auto& entry : boost::filesystem::directory_iterator(dir_.file(relative)))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testsupport
