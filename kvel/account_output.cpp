#include "kvel/account_output.h"

namespace KVEL {

std::unique_ptr<LaunchAccount> openLaunchAccount(const ExplainSetting& setting, const char* value,
                                                 const char* fileName, AccountOutput& output) {
  const bool dryRun = isDryRun(setting.mode);
  if (setting.mode != ExplainMode::json && setting.mode != ExplainMode::jsonDryRun)
    return makeTextAccount(stderr, dryRun, setting.known ? nullptr : value);
  if (fileName != nullptr && *fileName != '\0') {
    std::string err;
    output.file = openAccountFile(fileName, &err);
    if (output.file != nullptr)
      return makeJsonAccount(output.file, dryRun, false);
    std::fprintf(stderr,
                 "KVEL_EXPLAIN: KVEL_EXPLAIN_FILE %s: %s; the document goes to standard error\n",
                 fileName, err.c_str());
  }
  return makeJsonAccount(stderr, dryRun, true);
}

void closeAccountOutput(AccountOutput& output) {
  if (output.file != nullptr)
    std::fclose(output.file);
  output.file = nullptr;
}

}  // namespace KVEL
