// Where the account of a launch goes: the text on standard error; the JSON
// document to the file KVEL_EXPLAIN_FILE names, when it is set, so that the
// shell's own lines on standard error never mix with it, else to standard
// error, held to the end until the launch is known to print nothing there
// before the document ends (LaunchAccount::writeAsProduced).
#ifndef KVEL_ACCOUNT_OUTPUT_H
#define KVEL_ACCOUNT_OUTPUT_H

#include <cstdio>
#include <memory>
#include <string>

#include "kvel/launch_account.h"

namespace KVEL {

struct AccountOutput {
  std::FILE* file = nullptr;  // the KVEL_EXPLAIN_FILE file, while open
};

// The account setting asks for (not off), from the variables' values;
// value is KVEL_EXPLAIN as set, fileName KVEL_EXPLAIN_FILE or null. A file
// that cannot be written is told on standard error, and the document goes
// there instead.
std::unique_ptr<LaunchAccount> openLaunchAccount(const ExplainSetting& setting, const char* value,
                                                 const char* fileName, AccountOutput& output);
// Closes the file, if one is open.
void closeAccountOutput(AccountOutput& output);

// Opens path for writing from its start: a regular file (made when missing),
// never waiting on a special one, which is refused. Null with the reason in
// *err.
std::FILE* openAccountFile(const std::string& path, std::string* err);

}  // namespace KVEL

#endif
