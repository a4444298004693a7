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
  while (cursor < argc) {
    const char* argument = argv[cursor++];
    if (argument == nullptr) return true;
    const bool accepted =
        argument[0] == '-' ? parseSwitch(argument) : parsePositional(argument);
    if (!accepted) return false;
  }
  return true;
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

  // The list options are sized once for the switches that will fill them,
  // instead of growing (and holding two copies) a million times over.
  std::size_t plusargs = 0;
  std::size_t batches = 0;
  std::size_t views = 0;
  for (const std::string& stored : expandedArguments) {
    const std::string_view argument = stored;
    if (argument.size() < 2 || argument[0] != '-') continue;
    if (argument == "--testplusarg" || argument == "-testplusarg") {
      ++plusargs;
    } else if (argument == "--tclbatch" || argument == "-tclbatch" || argument == "--t" ||
               argument == "-t") {
      ++batches;
    } else if (argument == "--view" || argument == "-view") {
      ++views;
    }
  }
  testplusarg.reserve(testplusarg.size() + plusargs);
  tclbatch.reserve(tclbatch.size() + batches);
  view.reserve(view.size() + views);

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
