#include "kvel/cmdfile/environment_expansion.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <boost/filesystem.hpp>
#include <boost/tokenizer.hpp>

#include "kvel/cmdfile/argument_origins.h"
#include "kvel/cmdfile/line_splitting.h"
#include "kvel/cmdfile/program_text.h"
#include "support/text_check.h"

namespace KVEL {

namespace {

const char kDataDirName[] = "ZEK_DATADIR";
const char kDataDirPlain[] = "$ZEK_DATADIR";
const char kDataDirBraced[] = "${ZEK_DATADIR}";
const std::size_t kDataDirPlainLength = sizeof kDataDirPlain - 1;    // 12
const std::size_t kDataDirBracedLength = sizeof kDataDirBraced - 1;  // 14

// Windows treats environment names without regard to letter case, so there
// any spelling of ZEK_DATADIR names the data-directory variable.
#ifdef _WIN32
constexpr bool kNamesIgnoreCase = true;
#else
constexpr bool kNamesIgnoreCase = false;
#endif

char foldCase(char c) { return (kNamesIgnoreCase && c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

// Whether text[position, position + length) spells `name` (upper case).
bool spells(const std::string& text, std::size_t position, std::size_t length, const char* name) {
  for (std::size_t i = 0; i < length; ++i, ++name) {
    if (*name == '\0' || foldCase(text[position + i]) != *name)
      return false;
  }
  return *name == '\0';
}

bool isDataDirName(const std::string& text, std::size_t position, std::size_t length) {
  return spells(text, position, length, kDataDirName);
}

// The first occurrence of a data-directory reference text, in the letter
// case that names the variable on this platform.
std::size_t findReference(const std::string& text, const char* reference, std::size_t length) {
  if (!kNamesIgnoreCase)
    return text.find(reference);
  for (std::size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + 1)) {
    if (text.size() - at >= length && spells(text, at, length, reference))
      return at;
  }
  return std::string::npos;
}

// The value of a variable, or null when it is undefined or empty.
const char* nonEmptyValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return (value != nullptr && *value != '\0') ? value : nullptr;
}

// False, with the ERROR line in *err and *refused set, when the variable's
// value lost a character on its way into this process.
bool valueIntact(const std::string& name, std::string* err, bool* refused) {
  if (frontend::environmentIntact(name.c_str(), err))
    return true;
  if (refused != nullptr)
    *refused = true;
  return false;
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Callers test notes first: building the texts costs more than the expansion.
void note(ExpansionNotes* notes, const std::string& reference, const std::string& text) {
  notes->lines.push_back(cmdfile::shownText(reference) + " -> " + text);
}

std::string quoted(const std::string& value) { return "\"" + cmdfile::shownText(value) + "\""; }

// `reference -> "value"`, made in one string: a large command file may
// reference a variable on every line.
void noteValue(ExpansionNotes* notes, std::string_view reference, std::string_view value) {
  std::string line;
  line.reserve(reference.size() + value.size() + 6);
  cmdfile::appendShownText(line, reference);
  line += " -> \"";
  cmdfile::appendShownText(line, value);
  line += '"';
  notes->lines.push_back(std::move(line));
}

}  // namespace

bool expandEnvironmentVariables(const std::string& argument, std::string& expansion,
                                std::string* err, bool* refused, ExpansionNotes* notes) {
  expansion = argument;
  trimWhitespace(expansion);

  std::size_t searchFrom = 0;
  for (;;) {
    const std::size_t dollar = expansion.find('$', searchFrom);
    if (dollar == std::string::npos || dollar + 1 == expansion.size())
      break;

    if (expansion[dollar + 1] == '{') {
      const std::size_t close = findAscii(expansion, '}', dollar + 2);
      if (close == std::string::npos) {
        *err = "${ without closing }";
        return false;
      }
      if (close == dollar + 2) {
        *err = "${} missing variable name";
        return false;
      }
      const std::size_t nameLength = close - dollar - 2;
      if (isDataDirName(expansion, dollar + 2, nameLength)) {
        searchFrom = close + 1;
        continue;
      }
      const std::string name = expansion.substr(dollar + 2, nameLength);
      const char* value = nonEmptyValue(name);
      if (value == nullptr) {
        *err = "Env Variable " + name + " is not defined.";
        return false;
      }
      if (!valueIntact(name, err, refused))
        return false;
      const std::size_t valueLength = std::strlen(value);
      if (notes != nullptr)
        noteValue(notes, std::string_view(expansion).substr(dollar, close - dollar + 1), value);
      expansion.replace(dollar, close - dollar + 1, value, valueLength);
      searchFrom = dollar + valueLength;
    } else {
      std::size_t end = expansion.find('/', dollar + 1);
      if (end == std::string::npos)
        end = expansion.size();
      const std::size_t nameLength = end - dollar - 1;
      if (isDataDirName(expansion, dollar + 1, nameLength)) {
        searchFrom = dollar + kDataDirPlainLength;
        continue;
      }
      const std::string name = expansion.substr(dollar + 1, nameLength);
      const char* value = nonEmptyValue(name);
      if (value == nullptr) {
        *err = "Env Variable " + name + " not defined.";
        return false;
      }
      if (!valueIntact(name, err, refused))
        return false;
      const std::size_t valueLength = std::strlen(value);
      if (notes != nullptr)
        noteValue(notes, std::string_view(expansion).substr(dollar, end - dollar), value);
      expansion.replace(dollar, end - dollar, value, valueLength);
      searchFrom = dollar + valueLength;
    }
  }

  // The first data-directory reference (unbraced form first) is replaced by
  // the first listed directory for which the whole argument names an
  // existing path.
  std::size_t found = findReference(expansion, kDataDirPlain, kDataDirPlainLength);
  std::size_t referenceLength = kDataDirPlainLength;
  if (found == std::string::npos) {
    found = findReference(expansion, kDataDirBraced, kDataDirBracedLength);
    referenceLength = kDataDirBracedLength;
  }
  if (found == std::string::npos)
    return true;
  std::vector<std::string> directories;
  std::vector<std::size_t> positions;
  if (!splitDirectoryList(kDataDirName, directories, err, notes != nullptr ? &positions : nullptr))
    return false;
  const std::string reference = expansion.substr(found, referenceLength);
  // For the account: entries are named by their place in the variable as
  // written, empty ones counted, and each one passed over or tried is told.
  std::size_t written = 0;
  std::size_t told = 0;  // entries as written that have their note
  auto entryName = [&](std::size_t position) {
    return "entry " + std::to_string(position) + " of " + std::to_string(written);
  };
  // A note on an entry that was not taken: "$ZEK_DATADIR: entry 1 of 3 ...".
  auto remark = [&](const std::string& text) {
    notes->lines.push_back(cmdfile::shownText(reference) + ": " + text);
  };
  std::vector<bool> empty;  // by place as written, from 0
  auto tellPassedOver = [&](std::size_t upTo) {
    for (++told; told < upTo; ++told)
      remark(entryName(told) + (empty[told - 1] ? " is empty" : " is not a usable path") +
             ": passed over");
  };
  if (notes != nullptr) {
    const std::string list = std::getenv(kDataDirName);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= list.size(); ++i) {
      if (i < list.size() && list[i] != ';')
        continue;
      empty.push_back(i == start);
      start = i + 1;
    }
    written = empty.size();
  }
  for (std::size_t entry = 0; entry < directories.size(); ++entry) {
    const std::string& directory = directories[entry];
    std::string candidate = expansion;
    candidate.replace(found, referenceLength, directory);
    trimWhitespace(candidate);
    try {
      const bool exists = boost::filesystem::exists(boost::filesystem::path(candidate));
      if (notes != nullptr) {
        tellPassedOver(positions[entry]);
        if (exists)
          note(notes, reference, entryName(positions[entry]) + ", " + quoted(directory));
        else
          remark(entryName(positions[entry]) + " tried, " + quoted(candidate) + ": no such path");
      }
      if (exists) {
        expansion = candidate;
        return true;
      }
    } catch (const boost::filesystem::filesystem_error& error) {
      *err = candidate + ": " + error.what();
      return false;
    }
  }
  if (notes != nullptr) {
    tellPassedOver(written + 1);
    notes->dataDirUnresolved = true;
    note(notes, reference,
         "no entry of ZEK_DATADIR (" + std::to_string(written) +
             ") gives an existing path; kept as written");
  }
  return true;
}

bool splitDirectoryList(const std::string& variableName, std::vector<std::string>& directories,
                        std::string* err, std::vector<std::size_t>* positions) {
  const char* value = std::getenv(variableName.c_str());
  if (value == nullptr) {
    *err = "The environment variable " + variableName + " is not defined.";
    return false;
  }
  const std::string list(value);
  const boost::char_separator<char> separator(";");
  const boost::tokenizer<boost::char_separator<char>> entries(list, separator);
  // The places as written of the entries the tokenizer gives: the non-empty ones.
  std::vector<std::size_t> places;
  if (positions != nullptr) {
    std::size_t place = 1;
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (list[i] == ';')
        ++place;
      else if (i == 0 || list[i - 1] == ';')
        places.push_back(place);
    }
  }
  std::size_t given = 0;
  for (const std::string& entry : entries) {
    ++given;
    try {
      boost::filesystem::path directory(collapseSeparators(entry));
      directory = boost::filesystem::system_complete(directory.lexically_normal());
      directories.push_back(directory.string());
      if (positions != nullptr)
        positions->push_back(places[given - 1]);
    } catch (const boost::filesystem::filesystem_error&) {
      // An entry that cannot be made absolute is skipped.
    }
  }
  return true;
}

std::string collapseSeparators(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  bool slashInRun = false;
  bool backslashInRun = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i < 2 || !isSeparator(c)) {
      // A character of two bytes is copied whole: its second byte may equal "\".
      const std::size_t length = characterLength(std::string_view(text).substr(i));
      result.append(text, i, length);
      i += length - 1;
      slashInRun = false;
      backslashInRun = false;
    } else if (c == '/') {
      if (!slashInRun)
        result += c;
      slashInRun = true;
    } else {
      if (!backslashInRun)
        result += c;
      backslashInRun = true;
    }
  }
  return result;
}

}  // namespace KVEL
