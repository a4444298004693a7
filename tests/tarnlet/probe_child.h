// Runs the probe as a child process and reads back what it asked of the
// framework.
#ifndef TESTS_TARNLET_PROBE_CHILD_H
#define TESTS_TARNLET_PROBE_CHILD_H

#include <map>
#include <string>
#include <vector>

#include "framework/testdouble/recorder.h"
#include "tests/support/test_process.h"

namespace tarnlettest {

struct ProbeRun {
  testsupport::RunResult result;
  std::vector<zekdouble::Fields> calls;
};

// Runs `program` (the double-linked probe unless given) with `args` after the
// program path; `env` adds ZEKDOUBLE_* controls. `wrapper` runs the probe
// through another program, which gets the probe's path as its last argument.
// A probe still running after timeoutSeconds (when not 0) is killed.
inline ProbeRun runProbe(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {},
                         const std::string& program = TARNLET_DOUBLE_BIN,
                         const std::vector<std::string>& wrapper = {},
                         unsigned timeoutSeconds = 0) {
  // Crashing children must not leave core files behind.
  testsupport::disableCoreFiles();
  testsupport::TempDir dir;
  testsupport::RunOptions options;
  options.unsetEnv = {"ZEKDOUBLE_FAIL", "ZEKDOUBLE_FAULT", "ZEKDOUBLE_PROXY"};
  options.setEnv = env;
  options.setEnv["ZEKDOUBLE_RECORD"] = dir.file("record");
  options.timeoutSeconds = timeoutSeconds;
  ProbeRun run;
  if (wrapper.empty()) {
    run.result = testsupport::run(program, args, options);
  } else {
    std::vector<std::string> wrapped(wrapper.begin() + 1, wrapper.end());
    wrapped.push_back(program);
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    run.result = testsupport::run(wrapper.front(), wrapped, options);
  }
  run.calls = zekdouble::readRecordFile(dir.file("record"));
  return run;
}

// The operation names of the recorded calls, in order.
inline std::vector<std::string> operations(const ProbeRun& run) {
  std::vector<std::string> names;
  for (const zekdouble::Fields& call : run.calls)
    names.push_back(call.empty() ? std::string() : call[0]);
  return names;
}

}  // namespace tarnlettest

#endif
