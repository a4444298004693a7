// Test double of the shell entry: records how it was called and does what
// the environment asks (see recorder.h).
#include "framework/zekmain.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "framework/fw_error.h"
#include "framework/gui_event_broker.h"
#include "framework/testdouble/controls.h"

namespace {

void raiseEvent(bool withBool) {
  bool flag = false;
  std::vector<boost::any> items;
  if (withBool)
    items.push_back(boost::any(&flag));
  else
    items.push_back(boost::any(42));
  DataGuiEvent event(items);
  try {
    GuiEventBroker::dispatch(kFlagEventNumber, event);
  } catch (const std::exception& e) {
    zekdouble::record({"event61", "threw", e.what()});
    throw;
  }
  zekdouble::record({"event61", "flag", flag ? "1" : "0"});
}

// What the script named by a "-source" argument holds when the shell starts;
// only into a record file, so that a benchmark's launch reads no script.
void recordSource(int argc, char** argv) {
  const char* recordFile = std::getenv("ZEKDOUBLE_RECORD");
  if (!recordFile || !*recordFile)
    return;
  for (int i = 1; i + 1 < argc; ++i) {
    if (!argv[i] || std::string(argv[i]) != "-source" || !argv[i + 1])
      continue;
    std::string path = argv[i + 1];
    if (path.size() >= 2 && path.front() == '{' && path.back() == '}')
      path = path.substr(1, path.size() - 2);
    std::ifstream file(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    zekdouble::record({"source", path, file ? content : "(unreadable)"});
    return;
  }
}

}  // namespace

namespace zekmain {

int main(int argc, char** argv, const char* appName, TclInitProc initProc) {
  zekdouble::Fields fields{"main", appName ? appName : "(null)", std::to_string(argc)};
  for (int i = 0; i < argc; ++i)
    fields.push_back(argv[i] ? argv[i] : "(null)");
  fields.push_back(argv[argc] == nullptr ? "null" : "nonnull");
  fields.push_back(initProc ? "set" : "null");
  fields.push_back(std::to_string(GuiEventBroker::listenerCount(kFlagEventNumber)));
  zekdouble::record(fields);
  recordSource(argc, argv);

  std::string event = std::getenv("ZEKDOUBLE_EVENT") ? std::getenv("ZEKDOUBLE_EVENT") : "";
  if (event == "bool" || event == "bool2")
    raiseEvent(true);
  if (event == "bool2")
    raiseEvent(true);
  if (event == "wrong")
    raiseEvent(false);

  std::string toThrow = std::getenv("ZEKDOUBLE_THROW") ? std::getenv("ZEKDOUBLE_THROW") : "";
  if (toThrow == "std")
    throw std::runtime_error("test double: shell throws as asked");
  if (toThrow == "int")
    throw 42;
  if (toThrow == "fw")
    throw FwAlgException("test double: shell throws as asked");

  const char* status = std::getenv("ZEKDOUBLE_STATUS");
  return status ? std::atoi(status) : 0;
}

}  // namespace zekmain
