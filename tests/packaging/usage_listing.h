// The switch listing of `kvel -help`, as the documentation tests read it.
#ifndef TESTS_PACKAGING_USAGE_LISTING_H
#define TESTS_PACKAGING_USAGE_LISTING_H

#include <string>
#include <vector>

namespace packagingtest {

struct UsageEntry {
  std::string name;         // without the dashes, e.g. "tclbatch"
  std::string description;  // the text after " : "
};

// Entries of a usage text: every line "    --<name><padding> : <description>".
std::vector<UsageEntry> parseUsageListing(const std::string& usageText);

// Full path of `program` found in PATH, or empty.
std::string findInPath(const std::string& program);

}  // namespace packagingtest

#endif
