// Names for the rows of value-parameterized tables, so that `ctest -R` can
// pick a row and a failure says which one it was. GoogleTest takes only ASCII
// letters, digits and '_' in a row's name and stops the test program when two
// rows of one table share a name, so a generator that breaks either is seen
// at once.
#ifndef TESTS_SUPPORT_ROW_NAMES_H
#define TESTS_SUPPORT_ROW_NAMES_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

inline bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// "braced unset" -> "BracedUnset": every word starts with a capital letter;
// whatever is not an ASCII letter or digit ends a word and is dropped.
inline std::string titleName(std::string_view title) {
  std::string name;
  bool wordStart = true;
  for (char c : title) {
    if (!isNameCharacter(c)) {
      wordStart = true;
      continue;
    }
    name += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    wordStart = false;
  }
  return name;
}

// For rows without a title: the row's index, which keeps names apart, then a
// short label from the row's text, "3_testplusarg_a_b" for `-testplusarg "a b"`:
// its ASCII letters and digits, each run of other bytes as one '_', at most
// 24 characters. A text with no letter or digit gives "3_none".
inline std::string indexedName(std::size_t index, std::string_view text) {
  constexpr std::size_t kLabel = 24;
  std::string label;
  bool gap = false;
  for (char c : text) {
    if (label.size() >= kLabel) break;
    if (!isNameCharacter(c)) {
      gap = !label.empty();
      continue;
    }
    if (gap) label += '_';
    gap = false;
    label += c;
  }
  if (label.size() > kLabel) label.resize(kLabel);
  return std::to_string(index) + "_" + (label.empty() ? "none" : label);
}

inline std::string indexedName(std::size_t index, const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += word + " ";
  return indexedName(index, text);
}

// Name generator for tables whose rows carry a `title` describing them.
struct NameByTitle {
  template <class Row>
  std::string operator()(const testing::TestParamInfo<Row>& info) const {
    return titleName(info.param.title);
  }
};

}  // namespace testsupport

#endif
