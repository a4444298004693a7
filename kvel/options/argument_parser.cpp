#include "kvel/options/argument_parser.h"

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "kvel/options/command_line_options.h"

namespace KVEL {

ArgumentParser::ArgumentParser(int argc, char** argv, OptionSet* options)
    : cursor(1), argc(argc), argv(argv), options(options) {}

bool ArgumentParser::parse() {
  byName_.clear();
  lastFound_ = {};
  if (options != nullptr) {
    for (const auto& option : *options) byName_.emplace_back(option->name(), option.get());
  }
  announceValueCounts();
  while (cursor < argc) {
    const char* argument = argv[cursor++];
    if (argument == nullptr) return true;
    const bool accepted =
        argument[0] == '-' ? parseSwitch(argument) : parsePositional(argument);
    if (!accepted) return false;
  }
  return true;
}

// Counts each option's values ahead of the pass, so that a list filled a
// million times over is sized once instead of growing (and holding two
// copies) step by step. Only a size hint: the pass itself decides.
void ArgumentParser::announceValueCounts() {
  std::vector<std::pair<OptionValue*, std::size_t>> counts;
  for (int i = cursor; i < argc && argv[i] != nullptr; ++i) {
    const char* name = argv[i];
    if (*name != '-') continue;
    ++name;
    if (*name == '-') ++name;
    OptionValue* const option = findOption(name);
    if (option == nullptr || option->isFlag()) continue;
    ++i;  // its value
    auto entry = std::find_if(counts.begin(), counts.end(),
                              [option](const auto& count) { return count.first == option; });
    if (entry == counts.end())
      counts.emplace_back(option, 1);
    else
      ++entry->second;
  }
  for (const auto& count : counts) count.first->expectValues(count.second);
}

bool ArgumentParser::parseSwitch(const char* argument) {
  // At most two leading dashes are removed; the rest is the name as typed.
  const char* name = argument + 1;
  if (*name == '-') ++name;

  OptionValue* const found = findOption(name);
  if (found == nullptr) {
    std::cerr << "Unexpected option encountered : " << name << "\n";
    return false;
  }
  OptionValue& option = *found;

  if (option.isFlag()) {
    static const std::string on("true");
    return option.setValue(on);
  }
  if (cursor >= argc || argv[cursor] == nullptr) {
    std::cerr << "No value specified for option : " << option.name() << "\n";
    return false;
  }
  // The value is taken as it stands, also when it starts with a dash.
  value_.assign(argv[cursor++]);
  return option.setValue(value_);
}

OptionValue* ArgumentParser::findOption(std::string_view name) const {
  if (lastFound_.second != nullptr && lastFound_.first == name) return lastFound_.second;
  const auto found = std::lower_bound(
      byName_.begin(), byName_.end(), name,
      [](const std::pair<std::string_view, OptionValue*>& entry, std::string_view key) {
        return entry.first < key;
      });
  if (found == byName_.end() || found->first != name) return nullptr;
  lastFound_ = *found;
  return found->second;
}

bool ArgumentParser::parsePositional(const char* argument) {
  if (!positionalArgument.empty()) {
    // Only the first character is reported; an empty argument has none.
    std::cerr << "Expected a switch but found ";
    if (argument[0] != '\0') std::cerr << argument[0];
    std::cerr << "\n";
    return false;
  }
  positionalArgument = argument;
  return true;
}

bool CommandLineOptions::parse(int argc, char** argv) {
  // The arguments end at argc or at the first null entry, whichever comes first.
  int count = 0;
  if (argv != nullptr) {
    while (count < argc && argv[count] != nullptr) ++count;
  }
  programName = count > 0 ? argv[0] : "";
  commandLine = programName;
  rawArguments.reserve(rawArguments.size() + (count > 0 ? count - 1 : 0));
  for (int i = 1; i < count; ++i) {
    commandLine += ' ';
    commandLine += argv[i];
    rawArguments.emplace_back(argv[i]);
  }

  if (!expandCommandFiles(rawArguments, expandedArguments)) return false;

  // The rebuilt vector points into programName and expandedArguments, which
  // stay untouched while it is in use; it is released when parse returns.
  std::vector<char*> arguments;
  arguments.reserve(expandedArguments.size() + 2);
  arguments.push_back(&programName[0]);
  for (std::string& argument : expandedArguments) arguments.push_back(&argument[0]);
  const int argumentCount = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);

  OptionSet visible;
  OptionSet hidden;
  OptionSet all;
  registerOptions(visible);
  registerHiddenOptions(hidden);
  all.insert(visible.begin(), visible.end());
  all.insert(hidden.begin(), hidden.end());

  ArgumentParser parser(argumentCount, arguments.data(), &all);
  if (!parser.parse()) {
    printUsage(visible);
    return false;
  }

  snapshot = parser.positionalArgument;
  if (help) {
    printUsage(visible);
  } else if (!view.empty() && !gui) {
    std::cerr << "WARNING: '-view' switch ignored in command line mode. It should be used "
                 "together with '-gui' switch.\n";
  }
  return true;
}

void CommandLineOptions::printUsage(const OptionSet& visible) const {
  // Formatted apart so that no stream flag is left set on std::cerr.
  std::ostringstream text;
  text << "Kvel simulation executable\n"
       << "Usage: " << programName << " [options]\n"
       << "(Switches with double dash '--' can also be used with a single dash '-')";
  for (const auto& option : visible) {
    text << "\n    " << std::left << std::setw(20) << ("--" + option->name()) << " : "
         << option->description();
  }
  text << "\n";
  std::cerr << text.str();
}

}  // namespace KVEL
