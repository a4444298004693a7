// The tests' process runner and file helpers on Windows: CreateProcess with
// the standard handles on files, and text read back as the C runtime's text
// mode writes it.
#include "tests/support/test_process.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testsupport {

namespace {

// What a text-mode read makes of bytes written in text mode.
std::string fromTextMode(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::string::size_type i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
      text += bytes[i];
  return text;
}

// Environment names on Windows are case-insensitive.
struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return ::_stricmp(a.c_str(), b.c_str()) < 0;
  }
};
typedef std::map<std::string, std::string, NameLess> Environment;

// One argument as the C runtime splits a command line back into argv.
std::string quoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
    return arg;
  std::string out = "\"";
  for (std::string::size_type i = 0;; ++i) {
    std::string::size_type backslashes = 0;
    while (i < arg.size() && arg[i] == '\\') {
      ++i;
      ++backslashes;
    }
    if (i == arg.size()) {
      out.append(backslashes * 2, '\\');
      break;
    }
    if (arg[i] == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    out.push_back(arg[i]);
  }
  out.push_back('"');
  return out;
}

// Under Wine a test may be handed a build-machine path ("/work/..."): Wine's
// kernel32 names its Windows form. On Windows itself paths are native already.
std::string nativePath(const std::string& path) {
  if (path.empty() || path[0] != '/')
    return path;
  typedef WCHAR*(CDECL * ToDos)(const char*);
  HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  ToDos toDos = kernel ? reinterpret_cast<ToDos>(reinterpret_cast<void*>(
                             ::GetProcAddress(kernel, "wine_get_dos_file_name")))
                       : nullptr;
  if (!toDos)
    return path;
  WCHAR* wide = toDos(path.c_str());
  if (!wide)
    return path;
  char buffer[4 * MAX_PATH];
  int n = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, sizeof buffer, nullptr, nullptr);
  ::HeapFree(::GetProcessHeap(), 0, wide);
  return n > 0 ? std::string(buffer) : path;
}

HANDLE openInheritable(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa;
  sa.nLength = sizeof sa;
  sa.lpSecurityDescriptor = nullptr;
  sa.bInheritHandle = TRUE;
  return ::CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::string onDisk(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += '\r';
    out += c;
  }
  return out;
}

std::string readTextFile(const std::string& path) { return fromTextMode(readFile(path)); }

TempDir::TempDir() {
  char base[MAX_PATH + 1];
  DWORD n = ::GetTempPathA(sizeof base, base);
  if (n == 0 || n > MAX_PATH)
    throw std::runtime_error("GetTempPath failed");
  static unsigned long counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << base << "kveltest-" << ::GetCurrentProcessId() << "-" << ::GetTickCount64() << "-"
         << ++counter;
    if (::CreateDirectoryA(name.str().c_str(), nullptr)) {
      path_ = name.str();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

unsigned processCodePage() { return ::GetACP(); }

bool inProcessText(const std::string& utf8, std::string& text) {
  text = utf8;
  if (::GetACP() == CP_UTF8 || utf8.empty())
    return true;
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], int(wide.size())));
  BOOL lost = FALSE;
  text.resize(4 * wide.size());
  text.resize(::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()),
                                    &text[0], int(text.size()), nullptr, &lost));
  return !lost;
}

unsigned ansiCodePage() {
  wchar_t digits[8] = {};
  if (::GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, digits, 8) == 0)
    return 0;
  return static_cast<unsigned>(std::wcstoul(digits, nullptr, 10));
}

namespace {

// Text from one code page to another through UTF-16; false when a character
// is lost.
bool recode(const std::string& in, UINT from, UINT to, std::string& out) {
  out.clear();
  if (in.empty())
    return true;
  std::wstring wide(in.size(), L'\0');
  wide.resize(
      ::MultiByteToWideChar(from, 0, in.data(), int(in.size()), &wide[0], int(wide.size())));
  BOOL lost = FALSE;
  out.resize(4 * wide.size());
  out.resize(::WideCharToMultiByte(to, to == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(),
                                   int(wide.size()), &out[0], int(out.size()), nullptr,
                                   to == CP_UTF8 ? nullptr : &lost));
  return !lost && !out.empty();
}

}  // namespace

bool toAnsiCodePage(const std::string& utf8, std::string& text) {
  return recode(utf8, CP_UTF8, ansiCodePage(), text);
}

std::string fromAnsiCodePage(const std::string& text) {
  std::string utf8;
  recode(text, ansiCodePage(), CP_UTF8, utf8);
  return utf8;
}

bool runningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

int makeDirectory(const std::string& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) ? 0 : -1;
}

bool makeSymbolicLink(const std::string& target, const std::string& link) {
  std::string native = target;
  for (char& c : native)
    if (c == '/')
      c = '\\';
  const DWORD unprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  // Wine 8 reports success without making a link: check that it is there.
  return ::CreateSymbolicLinkA(link.c_str(), native.c_str(), unprivileged) != 0 &&
         ::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool makeHardLink(const std::string& target, const std::string& link) {
  return ::CreateHardLinkA(link.c_str(), target.c_str(), nullptr) != 0;
}

void setEnvironment(const std::string& name, const std::string& value) {
  ::_putenv_s(name.c_str(), value.c_str());
  // _putenv_s with an empty value removes the variable; Windows can hold it.
  ::SetEnvironmentVariableA(name.c_str(), value.c_str());
}

void unsetEnvironment(const std::string& name) {
  ::_putenv_s(name.c_str(), "");
  ::SetEnvironmentVariableA(name.c_str(), nullptr);
}

namespace {

// Reports a program that did not start at the first try: on standard error,
// and appended to the file KVEL_START_RETRY_LOG names (cmake/run-with-wine.sh
// sets it), which the CI log shows.
void noteSecondStart(const std::string& program, DWORD error, bool started) {
  const std::string line = "test_process: " + program + " did not start (CreateProcess error " +
                           std::to_string(error) + "); second try " +
                           (started ? "started it" : "failed too") + "\n";
  std::fputs(line.c_str(), stderr);
  if (const char* log = std::getenv("KVEL_START_RETRY_LOG")) {
    if (std::FILE* file = std::fopen(log, "ab")) {
      std::fputs(line.c_str(), file);
      std::fclose(file);
    }
  }
}

}  // namespace

RunResult runWithArgv0(const std::string& program, const std::string& argv0,
                       const std::vector<std::string>& args, const RunOptions& options) {
  TempDir io;
  std::string inPath = io.file("stdin"), outPath = io.file("stdout"), errPath = io.file("stderr");
  writeFile(inPath, options.stdinText);

  Environment env;
  if (!options.clearEnv) {
    char* block = ::GetEnvironmentStringsA();
    for (const char* e = block; e && *e; e += std::strlen(e) + 1) {
      std::string entry(e);
      // Names may begin with '=' (the per-drive current directories).
      std::string::size_type eq = entry.find('=', 1);
      if (eq != std::string::npos)
        env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    ::FreeEnvironmentStringsA(block);
  } else {
    for (const char* keep : {"PATH", "SystemRoot"})
      if (const char* value = std::getenv(keep))
        env[keep] = value;
  }
  for (const std::string& name : options.unsetEnv)
    env.erase(name);
  for (const auto& kv : options.setEnv)
    env[kv.first] = kv.second;
  std::string envBlock;
  for (const auto& kv : env)
    envBlock += kv.first + "=" + kv.second + '\0';
  envBlock += '\0';

  std::string commandLine = quoteArgument(argv0);
  for (const std::string& arg : args)
    commandLine += " " + quoteArgument(arg);
  if (!options.rawCommandTail.empty())
    commandLine = quoteArgument(argv0) + " " + options.rawCommandTail;

  HANDLE in = openInheritable(inPath, false);
  HANDLE out = openInheritable(outPath, true);
  HANDLE err = openInheritable(errPath, true);
  if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot open the child's standard files");

  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process;
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  std::string application = nativePath(program);
  const auto start = [&] {
    return ::CreateProcessA(application.c_str(), mutableLine.data(), nullptr, nullptr, TRUE, 0,
                            &envBlock[0], options.cwd.empty() ? nullptr : options.cwd.c_str(),
                            &startup, &process);
  };
  BOOL started = start();
  if (!started) {
    // Wine now and then fails to start a program at all (about one start in
    // several thousand). That alone gets one more try, and is reported.
    const DWORD error = ::GetLastError();
    started = start();
    noteSecondStart(program, error, started != 0);
  }
  ::CloseHandle(in);
  ::CloseHandle(out);
  ::CloseHandle(err);
  RunResult result;
  if (!started) {
    // As a POSIX exec failure reports it.
    result.exitStatus = 127;
    return result;
  }
  DWORD wait = options.timeoutSeconds ? options.timeoutSeconds * 1000u : INFINITE;
  if (::WaitForSingleObject(process.hProcess, wait) == WAIT_TIMEOUT) {
    ::TerminateProcess(process.hProcess, 124);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    result.timedOut = true;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  result.exitStatus = static_cast<int>(code);
  result.out = fromTextMode(readFile(outPath));
  result.err = fromTextMode(readFile(errPath));
  return result;
}

bool runningAsRoot() { return false; }

// A crash writes no core file here.
void disableCoreFiles() {}

const int kBusErrorSignal = 0;

}  // namespace testsupport
