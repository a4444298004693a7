#include "kvel/account_reading.h"

#include <algorithm>
#include <charconv>

#include "kvel/options/decimal_conversion.h"

namespace KVEL {

namespace {

using Kind = ParseTrace::Kind;
using cmdfile::ArgumentNote;
using cmdfile::ArgumentOrigins;

bool isSingleValued(Kind kind) {
  return kind == Kind::text || kind == Kind::integer || kind == Kind::unsignedInteger;
}

const std::string kNoOptionName;

}  // namespace

ArgumentReading::ArgumentReading(const cmdfile::ArgumentList& expanded, const ParseTrace& trace)
    : expanded_(expanded),
      trace_(trace),
      count_(std::min(expanded.size(), trace.origins.origins.size())) {
  for (const cmdfile::SourceFile& file : trace.origins.files)
    placePrefixes_.push_back(cmdfile::shownText(file.name) + ':');
  if (!trace.expanded)
    return;
  std::uint32_t snapshotOption = UINT32_MAX;
  for (std::uint32_t i = 0; i < trace.options.size(); ++i) {
    if (trace.options[i].name == "snapshot")
      snapshotOption = i;
  }
  std::vector<std::size_t> last(trace.options.size(), SIZE_MAX);
  for (std::size_t i = 0; i < trace.uses.size(); ++i) {
    const ArgumentUse& use = trace.uses[i];
    std::uint32_t option = use.option;
    if (use.role == ArgumentUse::positional) {
      option = snapshotOption;  // the bare argument becomes the snapshot value
    } else if (use.role != ArgumentUse::value || !isSingleValued(trace.options[option].kind)) {
      continue;
    }
    if (option >= last.size())
      continue;
    if (last[option] != SIZE_MAX) {
      replacedBy.emplace_back(last[option], i);
      replaces.emplace_back(i, last[option]);
    }
    last[option] = i;
  }
  std::sort(replacedBy.begin(), replacedBy.end());
}

ArgumentReading::Role ArgumentReading::role(std::size_t i) const {
  if (!trace_.expanded)
    return Role::unparsed;
  if (i >= trace_.uses.size())
    return i == trace_.uses.size() ? Role::stopped : Role::notParsed;
  switch (trace_.uses[i].role) {
    case ArgumentUse::positional:
      return Role::snapshot;
    case ArgumentUse::flag:
      return Role::flag;
    case ArgumentUse::valueSwitch:
      return Role::valueSwitch;
    case ArgumentUse::value:
      return Role::value;
  }
  return Role::unparsed;
}

const char* ArgumentReading::roleName(Role role) {
  switch (role) {
    case Role::unparsed:
      return "unparsed";
    case Role::snapshot:
      return "snapshot";
    case Role::flag:
      return "switch";
    case Role::valueSwitch:
      return "switch";
    case Role::value:
      return "value";
    case Role::stopped:
      return "parsing stopped here";
    case Role::notParsed:
      return "not parsed";
  }
  return "";
}

const std::string& ArgumentReading::option(std::size_t i) const {
  const std::uint32_t index = optionIndex(i);
  return index == kNoOption ? kNoOptionName : trace_.options[index].name;
}

std::uint32_t ArgumentReading::optionIndex(std::size_t i) const {
  const Role r = role(i);
  if (r != Role::flag && r != Role::valueSwitch && r != Role::value)
    return kNoOption;
  return trace_.uses[i].option;
}

std::string_view ArgumentReading::written(std::size_t i) const {
  // Notes are by ascending argument: the first at or after i, found from
  // where the last call left off, as the accounts go through in order.
  const auto& notes = trace_.origins.notes;
  if (i < noteFor_) {
    noteAt_ = static_cast<std::size_t>(
        std::lower_bound(notes.begin(), notes.end(), i,
                         [](const ArgumentNote& n, std::size_t argument) {
                           return n.argument < argument;
                         }) -
        notes.begin());
  }
  while (noteAt_ < notes.size() && notes[noteAt_].argument < i)
    ++noteAt_;
  noteFor_ = i;
  for (std::size_t k = noteAt_; k < notes.size() && notes[k].argument == i; ++k) {
    if (notes[k].kind == ArgumentNote::written)
      return notes[k].text;
  }
  std::string_view text = expanded_[i];
  if (origin(i).dashAdded)
    text.remove_prefix(1);
  return text;
}

std::string ArgumentReading::trailingTextNote(std::size_t i) const {
  if (role(i) != Role::value)
    return {};
  const Kind kind = trace_.options[trace_.uses[i].option].kind;
  if (kind != Kind::integer && kind != Kind::unsignedInteger)
    return {};
  const std::string text(expanded_[i]);
  const std::size_t length = decimalLength(text);
  if (length == 0 || length == text.size())
    return {};
  std::string value;
  if (kind == Kind::integer) {
    int number = 0;
    if (convertDecimalInt(text, number) != DecimalConversion::converted)
      return {};
    value = std::to_string(number);
  } else {
    unsigned int number = 0;
    if (convertDecimalUnsigned(text, number) != DecimalConversion::converted)
      return {};
    value = std::to_string(number);
  }
  return "taken as " + value + ": the text after the number, \"" +
         cmdfile::shownText(text.substr(length)) + "\", is ignored";
}

std::string ArgumentReading::shortPlace(std::size_t i) const {
  std::string place;
  appendShortPlace(place, i);
  return place;
}

void ArgumentReading::appendShortPlace(std::string& out, std::size_t i) const {
  const cmdfile::ArgumentOrigin& o = origin(i);
  out += placePrefix(o.file);
  char digits[16];
  out.append(digits, static_cast<std::size_t>(
                         std::to_chars(digits, digits + sizeof digits, o.line).ptr - digits));
}

std::string ArgumentReading::fileHeading(std::uint32_t file) const {
  if (file == ArgumentOrigins::kCommandLine || file >= origins().files.size())
    return "command line";
  const cmdfile::SourceFile& source = origins().files[file];
  return origins().place({source.parent, source.parentLine}) + " -> " +
         cmdfile::shownText(source.name);
}

std::vector<ArgumentReading::Setting> ArgumentReading::settings() const {
  std::vector<Setting> found;
  if (!trace_.expanded)
    return found;
  std::vector<std::size_t> slot(trace_.options.size() + 1, SIZE_MAX);
  const std::size_t snapshotSlot = trace_.options.size();
  std::size_t snapshotOption = SIZE_MAX;
  for (std::size_t k = 0; k < trace_.options.size(); ++k) {
    if (trace_.options[k].name == "snapshot")
      snapshotOption = k;
  }
  for (std::size_t i = 0; i < trace_.uses.size() && i < count_; ++i) {
    const ArgumentUse& use = trace_.uses[i];
    std::size_t s = use.option;
    if (use.role == ArgumentUse::positional)
      s = snapshotSlot;
    else if (use.role != ArgumentUse::value && use.role != ArgumentUse::flag)
      continue;
    if (s == snapshotOption)
      s = snapshotSlot;  // the switch and the bare name
    if (slot[s] == SIZE_MAX) {
      slot[s] = found.size();
      const bool list = s != snapshotSlot && trace_.options[s].kind == Kind::list;
      found.push_back({s == snapshotSlot ? std::string("snapshot") : trace_.options[s].name, list,
                       use.role == ArgumentUse::flag, 0, {}});
    }
    Setting& setting = found[slot[s]];
    if (!setting.list && !setting.flag) {
      setting.count = 1;
      setting.arguments.assign(1, i);
      continue;
    }
    ++setting.count;
    if (setting.arguments.size() == kSettingShown)  // keeps the first and the last ones
      setting.arguments.erase(setting.arguments.begin() + kSettingShown / 2);
    setting.arguments.push_back(i);
  }
  return found;
}

}  // namespace KVEL
