// The manual pages: kvel.1 documents exactly the switches that `kvel -help`
// lists, each with the listing's description; every page has its sections and
// formats without warnings.
//
// How kvel.1 documents a switch: in the OPTIONS section, a tag line
// `.B \-\-name` (a flag) or `.BI \-\-name " value"` (a switch with a value)
// directly after `.TP` or `.TQ`. Several tags in a row (`.TP`, tag, `.TQ`,
// tag) share one entry. The entry's description is the text of the plain lines
// after the tags, up to the next request line, joined with blanks.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/packaging/usage_listing.h"
#include "tests/support/test_process.h"

using packagingtest::UsageEntry;

namespace {

const std::string kDocDir = std::string(KVEL_SOURCE_DIR) + "/doc/";

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    lines.push_back(line);
  return lines;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Plain text of a roff text line: the escapes the pages use, removed.
std::string unescapeRoff(const std::string& line) {
  static const std::vector<std::pair<std::string, std::string>> kEscapes = {
      {"\\-", "-"},  {"\\(aq", "'"}, {"\\(dq", "\""}, {"\\&", ""}, {"\\fB", ""},
      {"\\fI", ""},  {"\\fR", ""},   {"\\fP", ""},    {"\\e", "\\"}};
  std::string out;
  for (std::string::size_type i = 0; i < line.size();) {
    bool replaced = false;
    for (const auto& escape : kEscapes) {
      if (line.compare(i, escape.first.size(), escape.first) == 0) {
        out += escape.second;
        i += escape.first.size();
        replaced = true;
        break;
      }
    }
    if (!replaced)
      out += line[i++];
  }
  return out;
}

// Lines of section `name` (after its .SH line, up to the next .SH).
std::vector<std::string> sectionLines(const std::string& page, const std::string& name) {
  std::vector<std::string> section;
  bool inside = false;
  for (const std::string& line : splitLines(page)) {
    if (startsWith(line, ".SH ")) {
      std::string title = line.substr(4);
      title.erase(std::remove(title.begin(), title.end(), '"'), title.end());
      inside = title == name;
      continue;
    }
    if (inside)
      section.push_back(line);
  }
  return section;
}

// Switch name of a tag line, or empty when the line is not a switch tag.
std::string tagSwitch(const std::string& line) {
  for (const char* request : {".B \\-\\-", ".BI \\-\\-"}) {
    if (!startsWith(line, request))
      continue;
    std::string rest = line.substr(std::string(request).size());
    return rest.substr(0, rest.find_first_of(" \t\"\\"));
  }
  return std::string();
}

// Switch name to description, as kvel.1 documents them (see the file comment).
// A switch documented twice is reported through `duplicates`.
std::map<std::string, std::string> documentedSwitches(const std::string& page,
                                                      std::vector<std::string>& duplicates) {
  std::map<std::string, std::string> switches;
  const std::vector<std::string> lines = sectionLines(page, "OPTIONS");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] != ".TP")
      continue;
    std::vector<std::string> names;
    std::size_t j = i + 1;
    while (j < lines.size()) {
      const std::string name = tagSwitch(lines[j]);
      if (!name.empty()) {
        names.push_back(name);
        ++j;
      } else if (lines[j] == ".TQ") {
        ++j;
      } else {
        break;
      }
    }
    std::string description;
    for (; j < lines.size() && !startsWith(lines[j], "."); ++j)
      description += (description.empty() ? "" : " ") + unescapeRoff(lines[j]);
    for (const std::string& name : names) {
      if (!switches.emplace(name, description).second)
        duplicates.push_back(name);
    }
  }
  return switches;
}

std::vector<UsageEntry> kvelUsage() {
  const testsupport::RunResult result = testsupport::run(KVEL_BIN, {"-help"});
  EXPECT_FALSE(result.signaled);
  EXPECT_EQ(0, result.exitStatus);
  return packagingtest::parseUsageListing(result.err);
}

TEST(KvelManPage, DocumentsExactlyTheSwitchesThatHelpLists) {
  const std::vector<UsageEntry> usage = kvelUsage();
  ASSERT_FALSE(usage.empty()) << "kvel -help listed no switches";
  std::vector<std::string> duplicates;
  const auto documented = documentedSwitches(testsupport::readFile(kDocDir + "kvel.1"), duplicates);
  EXPECT_TRUE(duplicates.empty()) << "documented twice: " << ::testing::PrintToString(duplicates);

  std::set<std::string> listed;
  for (const UsageEntry& entry : usage) {
    listed.insert(entry.name);
    EXPECT_EQ(1u, documented.count(entry.name)) << "--" << entry.name << " is not in kvel.1";
  }
  for (const auto& page : documented) {
    EXPECT_EQ(1u, listed.count(page.first)) << "kvel.1 documents --" << page.first
                                            << ", which kvel -help does not list";
  }
}

TEST(KvelManPage, DescribesEachSwitchAsHelpDoes) {
  std::vector<std::string> duplicates;
  const auto documented = documentedSwitches(testsupport::readFile(kDocDir + "kvel.1"), duplicates);
  for (const UsageEntry& entry : kvelUsage()) {
    auto it = documented.find(entry.name);
    if (it != documented.end()) {
      EXPECT_EQ(entry.description, it->second) << "--" << entry.name;
    }
  }
}

// The recognition rule itself, on a made-up page: tags after .TP and .TQ,
// the description up to the next request, flags and value switches alike,
// nothing outside OPTIONS.
TEST(KvelManPage, RecognisesSwitchTagsAsDocumented) {
  const std::string page =
      ".SH SYNOPSIS\n.TP\n.B \\-\\-outside\nNot an option.\n"
      ".SH OPTIONS\nIntro text.\n"
      ".TP\n.BI \\-\\-t \" file\"\n.TQ\n.BI \\-\\-tclbatch \" file\"\nRun \\(aqa\\(aq\nthen \\-b\n"
      ".IP\nMore.\n"
      ".TP\n.B \\-\\-gui\nGUI\n"
      ".TP\n.BR \\-x\nnot a tag\n"
      ".SH FILES\n.TP\n.B \\-\\-late\nx\n";
  std::vector<std::string> duplicates;
  const auto documented = documentedSwitches(page, duplicates);
  const std::map<std::string, std::string> expected = {
      {"t", "Run 'a' then -b"}, {"tclbatch", "Run 'a' then -b"}, {"gui", "GUI"}};
  EXPECT_EQ(expected, documented);
  EXPECT_TRUE(duplicates.empty());
}

struct PageSections {
  const char* page;
  std::vector<std::string> sections;
};

const std::vector<std::string> kCommonSections = {"NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS",
                                                  "EXAMPLES"};

const PageSections kPages[] = {
    {"kvel.1", {"OPTIONS", "COMMAND FILES", "FILES", "ENVIRONMENT"}},
    {"dravik.1", {"OPTIONS", "FILES"}},
    {"quindle.1", {"OPTIONS", "FILES"}},
    {"tarnlet.1", {"OPTIONS", "ENVIRONMENT"}},
};

TEST(ManPages, HaveTheirSections) {
  for (const PageSections& entry : kPages) {
    const std::string page = testsupport::readFile(kDocDir + entry.page);
    ASSERT_FALSE(page.empty()) << entry.page;
    EXPECT_TRUE(startsWith(page, ".TH ")) << entry.page;
    std::vector<std::string> wanted = kCommonSections;
    wanted.insert(wanted.end(), entry.sections.begin(), entry.sections.end());
    for (const std::string& section : wanted)
      EXPECT_FALSE(sectionLines(page, section).empty()) << entry.page << ": no " << section;
  }
}

TEST(ManPages, FormatWithoutWarnings) {
  const std::string groff = packagingtest::findInPath("groff");
  if (groff.empty())
    GTEST_SKIP() << "groff is not installed";
  for (const PageSections& entry : kPages) {
    const testsupport::RunResult result =
        testsupport::run(groff, {"-man", "-Tutf8", "-ww", "-z", kDocDir + entry.page});
    EXPECT_EQ(0, result.exitStatus) << entry.page;
    EXPECT_EQ("", result.err) << entry.page;
  }
}

}  // namespace
