// The tests' process runner and file helpers on POSIX: fork and exec with
// the standard streams on files; text files are read back unchanged.
#include "tests/support/test_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <stdexcept>

extern char** environ;

namespace testsupport {

std::string onDisk(const std::string& text) {
  return text;
}

std::string readTextFile(const std::string& path) {
  return readFile(path);
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kveltest-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data()))
    throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

unsigned processCodePage() {
  return 0;
}

bool inProcessText(const std::string& utf8, std::string& text) {
  text = utf8;
  return true;
}

unsigned ansiCodePage() {
  return 0;
}

bool toAnsiCodePage(const std::string& utf8, std::string& text) {
  text = utf8;
  return true;
}

std::string fromAnsiCodePage(const std::string& text) {
  return text;
}

bool runningUnderWine() {
  return false;
}

int makeDirectory(const std::string& path) {
  return ::mkdir(path.c_str(), 0755);
}

bool makeSymbolicLink(const std::string& target, const std::string& link) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool makeHardLink(const std::string& target, const std::string& link) {
  return ::link(target.c_str(), link.c_str()) == 0;
}

void setEnvironment(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void unsetEnvironment(const std::string& name) {
  ::unsetenv(name.c_str());
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
  RunResult result;
  int status = 0;
  unsigned waitedTenths = 0;
  for (;;) {
    pid_t done = ::waitpid(pid, &status, options.timeoutSeconds ? WNOHANG : 0);
    if (done == pid)
      break;
    if (done < 0 && errno != EINTR)
      throw std::runtime_error("waitpid failed");
    if (done == 0) {
      if (waitedTenths >= options.timeoutSeconds * 10u && !result.timedOut) {
        ::kill(pid, SIGKILL);
        result.timedOut = true;
      }
      ::usleep(100000);
      ++waitedTenths;
    }
  }
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

bool runningAsRoot() { return ::geteuid() == 0; }

void disableCoreFiles() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur != 0) {
    limit.rlim_cur = 0;
    ::setrlimit(RLIMIT_CORE, &limit);
  }
}

const int kBusErrorSignal = SIGBUS;

}  // namespace testsupport
