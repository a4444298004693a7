// What the account of a launch tells of the expanded arguments, worked out
// once for its text and its JSON form: each argument's role, what was
// written where it differs from what was used, numbers with trailing text,
// the values that replace earlier ones, and the settings given.
#ifndef KVEL_ACCOUNT_READING_H
#define KVEL_ACCOUNT_READING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kvel/options/command_line_options.h"

namespace KVEL {

class ArgumentReading {
public:
  enum class Role { unparsed, snapshot, flag, valueSwitch, value, stopped, notParsed };

  ArgumentReading(const cmdfile::ArgumentList& expanded, const ParseTrace& trace);

  std::size_t count() const { return count_; }
  std::string_view text(std::size_t i) const { return expanded_[i]; }
  const cmdfile::ArgumentOrigins& origins() const { return trace_.origins; }
  const cmdfile::ArgumentOrigin& origin(std::size_t i) const { return trace_.origins.origins[i]; }
  bool parsed() const { return trace_.expanded; }

  Role role(std::size_t i) const;
  static const char* roleName(Role role);
  // The option a switch or value belongs to; empty for the others.
  const std::string& option(std::size_t i) const;
  // Its index among the trace's options; kNoOption for the others.
  static constexpr std::uint32_t kNoOption = UINT32_MAX;
  std::uint32_t optionIndex(std::size_t i) const;
  std::size_t optionCount() const { return trace_.options.size(); }
  const std::string& optionName(std::uint32_t option) const { return trace_.options[option].name; }
  // The text as it stands in the file or on the command line.
  std::string_view written(std::size_t i) const;
  // For a number whose text goes on after the digits: what it was taken as.
  std::string trailingTextNote(std::size_t i) const;
  // "command line 3" or "file:line", the innermost step of the place.
  std::string shortPlace(std::size_t i) const;
  void appendShortPlace(std::string& out, std::size_t i) const;
  // What comes before the line number in a short place: "file:" or
  // "command line ".
  std::string_view placePrefix(std::uint32_t file) const {
    return file < placePrefixes_.size() ? std::string_view(placePrefixes_[file])
                                        : std::string_view("command line ");
  }
  // The chain of places that led to file (its "-f"), then its name.
  std::string fileHeading(std::uint32_t file) const;

  // (earlier, later) by earlier, and (later, earlier) by later.
  std::vector<std::pair<std::size_t, std::size_t>> replacedBy, replaces;

  // The options given, in the order first given, each with the arguments
  // that set it (the value, or the switch for a flag): all of them up to
  // kSettingShown, else the first and last kSettingShown / 2.
  static constexpr std::size_t kSettingShown = 8;
  struct Setting {
    std::string option;
    bool list;
    bool flag;
    std::size_t count;  // the arguments that set it
    std::vector<std::size_t> arguments;
  };
  std::vector<Setting> settings() const;

private:
  const cmdfile::ArgumentList& expanded_;
  const ParseTrace& trace_;
  std::size_t count_;
  // The files' names made safe for a terminal, each with the ':' before a line.
  std::vector<std::string> placePrefixes_;
  // written(): the first note at or after argument noteFor_.
  mutable std::size_t noteAt_ = 0;
  mutable std::size_t noteFor_ = 0;
};

}  // namespace KVEL

#endif
