// One left-to-right pass over kvel's rebuilt argument vector: switches are
// looked up by name and handed their value, the one bare argument is kept.
#ifndef KVEL_OPTIONS_ARGUMENT_PARSER_H
#define KVEL_OPTIONS_ARGUMENT_PARSER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kvel/cmdfile/argument_list.h"
#include "kvel/cmdfile/page_array.h"
#include "kvel/options/option_value.h"

namespace KVEL {

// What one argument of the vector was to the parse, for an account of the
// launch: the option (an index into the options in the set's order) and its role.
struct ArgumentUse {
  enum Role : std::uint8_t { positional, flag, valueSwitch, value };
  std::uint32_t option;  // unused for positional
  Role role;
};

class ArgumentParser {
public:
  // options is the merged set used for lookup; it is not owned.
  ArgumentParser(int argc, char** argv, OptionSet* options);
  // The same over an expanded argument list, read where it stands (argv
  // stays null): entry 0 is programName, entry i the list's element i - 1.
  // Both must outlive the parser. The list has fewer than INT_MAX elements
  // (the bound on command files keeps it far below).
  ArgumentParser(const std::string& programName, const cmdfile::ArgumentList& arguments,
                 OptionSet* options);

  // Reads from cursor to the end (or a null entry). False with the message in
  // *err; scanning stops at the first failure.
  bool parse(std::string* err);

  int cursor;
  int argc;
  char** argv;
  OptionSet* options;
  std::string positionalArgument;
  // When set, receives one entry per argument handled, in order (argument 1
  // first); the argument where a failed pass stopped has none.
  PageArray<ArgumentUse>* uses = nullptr;

private:
  // Entry i of the vector or the list; null past the end.
  const char* argumentAt(int i) const;
  void announceValueCounts();
  bool parseSwitch(const char* argument, std::string* err);
  bool parsePositional(const char* argument, std::string* err);

  // The option's index in byName_, or kNoOption.
  std::uint32_t findOption(std::string_view name) const;
  static constexpr std::uint32_t kNoOption = UINT32_MAX;
  void noteUse(std::uint32_t option, ArgumentUse::Role role) { uses->push_back({option, role}); }

  const std::string* programName_ = nullptr;
  const cmdfile::ArgumentList* list_ = nullptr;
  std::string value_;  // reused for every value, so the loop does not allocate per argument
  // The options by name, in the set's order, for lookups without building a
  // key object per switch.
  std::vector<std::pair<std::string_view, OptionValue*>> byName_;
  // The last switch found: long lists repeat one switch many times.
  mutable std::uint32_t lastFound_ = kNoOption;
};

}  // namespace KVEL

#endif
