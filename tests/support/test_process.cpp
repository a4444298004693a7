#include "tests/support/test_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <boost/filesystem.hpp>

extern char** environ;

namespace testsupport {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kveltest-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data()))
    throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  boost::system::error_code ec;
  boost::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& relative) const {
  return path_ + "/" + relative;
}

void writeFile(const std::string& path, const std::string& content) {
  boost::filesystem::path p(path);
  if (p.has_parent_path())
    boost::filesystem::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

RunResult runWithArgv0(const std::string& program, const std::string& argv0,
                       const std::vector<std::string>& args, const RunOptions& options) {
  TempDir io;
  std::string inPath = io.file("stdin"), outPath = io.file("stdout"), errPath = io.file("stderr");
  writeFile(inPath, options.stdinText);

  std::map<std::string, std::string> env;
  if (!options.clearEnv) {
    for (char** e = environ; *e; ++e) {
      std::string entry(*e);
      std::string::size_type eq = entry.find('=');
      if (eq != std::string::npos)
        env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
  } else if (const char* path = std::getenv("PATH")) {
    env["PATH"] = path;
  }
  for (const std::string& name : options.unsetEnv)
    env.erase(name);
  for (const auto& kv : options.setEnv)
    env[kv.first] = kv.second;

  std::vector<std::string> envStrings;
  for (const auto& kv : env)
    envStrings.push_back(kv.first + "=" + kv.second);
  std::vector<char*> envp;
  for (std::string& s : envStrings)
    envp.push_back(&s[0]);
  envp.push_back(nullptr);

  std::vector<std::string> argStrings{argv0};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argStrings)
    argv.push_back(&s[0]);
  argv.push_back(nullptr);

  pid_t pid = ::fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = ::open(inPath.c_str(), O_RDONLY);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0)
      ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0)
      ::_exit(126);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      throw std::runtime_error("waitpid failed");
  }
  RunResult result;
  if (WIFSIGNALED(status)) {
    result.signaled = true;
    result.signal = WTERMSIG(status);
  } else {
    result.exitStatus = WEXITSTATUS(status);
  }
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options) {
  return runWithArgv0(program, program, args, options);
}

}  // namespace testsupport
