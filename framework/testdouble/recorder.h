// The test double of the framework libraries: controls and call record.
//
// Every framework call made to the double is recorded as one line of
// tab-separated fields (first field: the operation), escaped so that a line
// holds any bytes: backslash as \\, tab as \t, line feed as \n. Lines are kept
// in memory and, when ZEKDOUBLE_RECORD names a file, appended to it at once
// (one write per line, so a line survives a crash right after the call).
//
// Controls, read from the environment at each call:
//   ZEKDOUBLE_RECORD  file that receives the record
//   ZEKDOUBLE_STATUS  status that zekmain::main returns (decimal, default 0)
//   ZEKDOUBLE_THROW   zekmain::main throws: "std" (std::runtime_error),
//                     "int" (an int), "fw" (FwAlgException)
//   ZEKDOUBLE_EVENT   zekmain::main raises GUI event 61 first: "bool" (data 0 is
//                     a bool* to a false flag), "bool2" (the same, twice),
//                     "wrong" (data 0 is an int); the flag or the exception is
//                     recorded, and an exception is then rethrown
//   ZEKDOUBLE_PROXY   what QuindleManager::GetProxySettings returns
//   ZEKDOUBLE_FAIL    comma-separated operations that throw std::runtime_error
//                     after recording: init, uninit, openHandle, setVisibility,
//                     addScope, GetProxySettings, setUserEnabled, sendMsg,
//                     sendScopedMsg
//   ZEKDOUBLE_FAULT   KIND or KIND@OPERATION, or a comma-separated list of
//                     them: the operation (default GetProxySettings) raises a
//                     real fault after recording. Kinds: segv, intdiv, fltdiv,
//                     ill, bus, stack, and hang (blocks for ever, e.g. to stand
//                     for a deadlock inside a crash report).
//
// Record lines:
//   main <app> <argc> <argv[0]> ... <argv[argc-1]> <argvEnd> <initProc> <listeners61>
//        argvEnd is "null" when argv[argc] is a null pointer, else "nonnull";
//        initProc is "null" or "set"; listeners61 counts event-61 listeners
//   source <path> <content>       after main, for a "-source" argument (its
//                                 braces dropped), with ZEKDOUBLE_RECORD set:
//                                 the file's bytes, or "(unreadable)"
//   event61 flag <0|1>            after the event with a bool*
//   event61 threw <what>          when a listener threw
//   init <mode> <config> / uninit / openHandle <mask hex> <stdout|other>
//   setVisibility <level> / addScope <scope> <level>
//   sendMsg <id> <file> <line> <category> <mask hex> <text>
//   sendScopedMsg <id> <file> <line> <category> <scope> <mask hex> <text>
//   GetProxySettings / setUserEnabled <0|1>
#ifndef FRAMEWORK_TESTDOUBLE_RECORDER_H
#define FRAMEWORK_TESTDOUBLE_RECORDER_H

#include <string>
#include <vector>

namespace zekdouble {

typedef std::vector<std::string> Fields;

// Lines recorded in this process so far, each split into fields.
std::vector<Fields> calls();
void clearCalls();

// Reads a record file written by ZEKDOUBLE_RECORD; missing file: empty.
std::vector<Fields> readRecordFile(const std::string& path);

}  // namespace zekdouble

#endif
