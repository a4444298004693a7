#include "kvel/options/argument_parser.h"

#include <algorithm>
#include <vector>

#include "kvel/cmdfile/program_text.h"

namespace KVEL {

ArgumentParser::ArgumentParser(int argc, char** argv, OptionSet* options)
    : cursor(1), argc(argc), argv(argv), options(options) {}

ArgumentParser::ArgumentParser(const std::string& programName,
                               const cmdfile::ArgumentList& arguments, OptionSet* options)
    : cursor(1),
      argc(static_cast<int>(arguments.size() + 1)),
      argv(nullptr),
      options(options),
      programName_(&programName),
      list_(&arguments) {}

const char* ArgumentParser::argumentAt(int i) const {
  if (list_ == nullptr)
    return argv[i];
  if (i == 0)
    return programName_->c_str();
  return static_cast<std::size_t>(i) <= list_->size() ? list_->c_str(i - 1) : nullptr;
}

bool ArgumentParser::parse(std::string* err) {
  byName_.clear();
  lastFound_ = kNoOption;
  if (options != nullptr) {
    for (const auto& option : *options)
      byName_.emplace_back(option->name(), option.get());
  }
  announceValueCounts();
  while (cursor < argc) {
    const char* argument = argumentAt(cursor++);
    if (argument == nullptr)
      return true;
    const bool accepted =
        argument[0] == '-' ? parseSwitch(argument, err) : parsePositional(argument, err);
    if (!accepted)
      return false;
  }
  return true;
}

// Counts each option's values ahead of the pass, so that a list filled a
// million times over is sized once instead of growing (and holding two
// copies) step by step. Only a size hint: the pass itself decides.
void ArgumentParser::announceValueCounts() {
  std::vector<std::pair<OptionValue*, std::size_t>> counts;
  for (int i = cursor; i < argc && argumentAt(i) != nullptr; ++i) {
    const char* name = argumentAt(i);
    if (*name != '-')
      continue;
    ++name;
    if (*name == '-')
      ++name;
    const std::uint32_t index = findOption(name);
    OptionValue* const option = index == kNoOption ? nullptr : byName_[index].second;
    if (option == nullptr || option->isFlag())
      continue;
    ++i;  // its value
    auto entry = std::find_if(counts.begin(), counts.end(),
                              [option](const auto& count) { return count.first == option; });
    if (entry == counts.end())
      counts.emplace_back(option, 1);
    else
      ++entry->second;
  }
  for (const auto& count : counts)
    count.first->expectValues(count.second);
}

bool ArgumentParser::parseSwitch(const char* argument, std::string* err) {
  // At most two leading dashes are removed; the rest is the name as typed.
  const char* name = argument + 1;
  if (*name == '-')
    ++name;

  const std::uint32_t found = findOption(name);
  if (found == kNoOption) {
    *err = std::string("Unexpected option encountered : ") + name;
    return false;
  }
  OptionValue& option = *byName_[found].second;

  if (option.isFlag()) {
    static const std::string on("true");
    if (uses != nullptr)
      noteUse(found, ArgumentUse::flag);
    return option.store(on, err);
  }
  if (cursor >= argc || argumentAt(cursor) == nullptr) {
    *err = "No value specified for option : " + option.name();
    return false;
  }
  if (uses != nullptr)
    noteUse(found, ArgumentUse::valueSwitch);
  // The value is taken as it stands, also when it starts with a dash; from
  // the expanded list where it stands, for the option to keep in place.
  const int at = cursor++;
  bool stored = false;
  if (list_ != nullptr) {
    stored = option.storeArgument(*list_, static_cast<std::size_t>(at - 1), value_, err);
  } else {
    value_.assign(argumentAt(at));
    stored = option.store(value_, err);
  }
  if (!stored)
    return false;
  if (uses != nullptr)
    noteUse(found, ArgumentUse::value);
  return true;
}

std::uint32_t ArgumentParser::findOption(std::string_view name) const {
  if (lastFound_ != kNoOption && byName_[lastFound_].first == name)
    return lastFound_;
  const auto found = std::lower_bound(byName_.begin(), byName_.end(), name,
                                      [](const std::pair<std::string_view, OptionValue*>& entry,
                                         std::string_view key) { return entry.first < key; });
  if (found == byName_.end() || found->first != name)
    return kNoOption;
  lastFound_ = static_cast<std::uint32_t>(found - byName_.begin());
  return lastFound_;
}

bool ArgumentParser::parsePositional(const char* argument, std::string* err) {
  if (!positionalArgument.empty()) {
    // Only the first character is reported, all of its bytes; an empty
    // argument has none.
    *err = "Expected a switch but found ";
    err->append(argument, characterLength(argument));
    return false;
  }
  positionalArgument = argument;
  if (uses != nullptr)
    uses->push_back({0, ArgumentUse::positional});
  return true;
}

}  // namespace KVEL
