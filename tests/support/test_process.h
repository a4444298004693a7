// Helpers for tests that run the real programs: a temporary directory and a
// child process with its output, status and environment under control.
#ifndef TESTS_SUPPORT_TEST_PROCESS_H
#define TESTS_SUPPORT_TEST_PROCESS_H

#include <map>
#include <string>
#include <vector>

#include "tests/support/platform_skips.h"

namespace testsupport {

// A fresh directory under $TMPDIR (or /tmp; on Windows the user's temporary
// folder), removed with its contents.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string file(const std::string& relative) const;

private:
  std::string path_;
};

struct RunOptions {
  std::string cwd;                           // empty: the test's own
  std::map<std::string, std::string> setEnv; // added or replaced
  std::vector<std::string> unsetEnv;         // removed ("*PROXY*"-style names not supported)
  std::string stdinText;                     // fed to standard input
  bool clearEnv = false;                     // start from an empty environment (PATH kept;
                                             // on Windows also SystemRoot)
  unsigned timeoutSeconds = 0;               // > 0: the child is killed after this long
  // Windows: when set, the command line after argv0, as it is (args unused).
  std::string rawCommandTail;
};

struct RunResult {
  int exitStatus = -1;   // valid when !signaled; on Windows all 32 bits of the
                         // exit code (an exception code when the child crashed)
  bool signaled = false; // never on Windows
  int signal = 0;        // valid when signaled
  bool timedOut = false; // killed after RunOptions::timeoutSeconds
  // Standard output and error as text: on Windows, where the C runtime writes
  // them in text mode, each CR LF is read back as "\n".
  std::string out;
  std::string err;
};

// Runs program with args (argv[0] is program unless args is given with
// argv0 first: see runWithArgv0). Waits for it to end.
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const RunOptions& options = RunOptions());

// As run(), but argv[0] is argv0 instead of the program path.
RunResult runWithArgv0(const std::string& program, const std::string& argv0,
                       const std::vector<std::string>& args,
                       const RunOptions& options = RunOptions());

// True when this process runs under Wine rather than Windows itself.
bool runningUnderWine();

// True when this process runs as root, whom permission bits do not bind
// (never on Windows).
bool runningAsRoot();

// Children that crash leave no core file (POSIX: core size limit 0).
void disableCoreFiles();

// SIGBUS; 0 on Windows, which has no bus error.
extern const int kBusErrorSignal;

// Sets or removes a variable of this process's environment.
void setEnvironment(const std::string& name, const std::string& value);
void unsetEnvironment(const std::string& name);

// mkdir with mode 0755 (Windows: no mode); 0 on success, as mkdir.
int makeDirectory(const std::string& path);
// A symbolic link `link` naming `target`; false when none could be made
// (Windows without the privilege to create one; Wine, which makes none).
bool makeSymbolicLink(const std::string& target, const std::string& link);

// The process's ANSI code page on Windows (65001 for UTF-8); 0 elsewhere.
unsigned processCodePage();
// `utf8` as this process's text: on Windows in its code page, elsewhere
// unchanged; false when the code page cannot hold every character.
bool inProcessText(const std::string& utf8, std::string& text);

// The system's ANSI code page on Windows, the one a program without the
// UTF-8 manifest runs in (1252, 1251, 932, ...); 0 elsewhere.
unsigned ansiCodePage();
// `utf8` in that code page, and back; false when it cannot hold every
// character. Elsewhere the text is unchanged.
bool toAnsiCodePage(const std::string& utf8, std::string& text);
std::string fromAnsiCodePage(const std::string& text);

// `text` as a text-mode write puts it on disk: on Windows each "\n" becomes
// CR LF; elsewhere it is unchanged.
std::string onDisk(const std::string& text);

// A second name `link` for the existing file `target`.
bool makeHardLink(const std::string& target, const std::string& link);

// Whole-file helpers; writeFile creates missing parent directories.
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
// A file written in text mode, read back as text (on Windows CR LF gives "\n").
std::string readTextFile(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace testsupport

#endif
