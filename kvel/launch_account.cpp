#include "kvel/launch_account.h"

#include <cctype>
#include <initializer_list>
#include <string_view>

namespace KVEL {

const char* const kExplainValues =
    "0, off, no, false or empty: no account; 1, on, yes, true: the account; only: the account "
    "and a dry run; json, json-only: the same as JSON";
const char* const kOwnScriptPlaceholder = "<own-script>";

LaunchAccount::~LaunchAccount() = default;

ExplainSetting explainSettingOf(const char* value) {
  ExplainSetting setting;
  if (value == nullptr)
    return setting;
  std::string_view text(value);
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  std::string word(text);
  for (char& c : word)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto is = [&word](std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (word == name)
        return true;
    }
    return false;
  };
  if (is({"", "0", "off", "no", "false"})) {
    setting.mode = ExplainMode::off;
  } else if (is({"1", "on", "yes", "true"})) {
    setting.mode = ExplainMode::account;
  } else if (word == "only") {
    setting.mode = ExplainMode::dryRun;
  } else if (word == "json") {
    setting.mode = ExplainMode::json;
  } else if (word == "json-only") {
    setting.mode = ExplainMode::jsonDryRun;
  } else {
    setting.mode = ExplainMode::account;
    setting.known = false;
  }
  return setting;
}

}  // namespace KVEL
