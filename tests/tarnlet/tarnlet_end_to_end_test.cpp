// The shipped probe with the stand-in framework: proxy settings from the
// environment.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

testsupport::RunOptions withoutProxyVariables() {
  testsupport::RunOptions options;
  options.unsetEnv = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                      "all_proxy",  "ALL_PROXY",  "ZEK_MSG_INIT_FAIL"};
  return options;
}

TEST(TarnletEndToEnd, HttpProxyGivesOneProxyLine) {
  testsupport::RunOptions options = withoutProxyVariables();
  options.setEnv["http_proxy"] = "http://proxy.example.com:3128";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"-v"}}) {
    SCOPED_TRACE(args.size());
    testsupport::RunResult r = testsupport::run(TARNLET_BIN, args, options);
    EXPECT_EQ("Proxy=http://proxy.example.com:3128\n", r.out);
    EXPECT_EQ("", r.err);
    EXPECT_FALSE(r.signaled);
    EXPECT_EQ(0, r.exitStatus);
  }
}

TEST(TarnletEndToEnd, NoProxyVariableGivesNoOutputAndOne) {
  testsupport::RunResult r = testsupport::run(TARNLET_BIN, {"-v"}, withoutProxyVariables());
  EXPECT_EQ("", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_FALSE(r.signaled);
  EXPECT_EQ(1, r.exitStatus);
}

// A value that would break the one line (a line break or another control
// character) or names nothing (only blanks) is passed over like an unset
// variable; with -v a notice through the message manager names it.
TEST(TarnletEndToEnd, UnusableProxyValueIsPassedOver) {
  const std::string passed = "INFO: [quindle] proxy variable ";
  const std::string control = " passed over: its value holds a line break or another control "
                              "character\n";
  const struct {
    const char* name;
    std::map<std::string, std::string> env;
    int status;
    std::string out;    // without -v
    std::string notes;  // before it with -v
  } rows[] = {
      {"line break alone", {{"http_proxy", "a\nb"}}, 1, "", passed + "http_proxy" + control},
      {"line break, then a usable one",
       {{"https_proxy", "http://a:1\nProxy=http://b:2"}, {"all_proxy", "http://c:3"}}, 0,
       "Proxy=http://c:3\n", passed + "https_proxy" + control},
      {"carriage return", {{"http_proxy", "http://a:1\r"}}, 1, "", passed + "http_proxy" + control},
      {"tab", {{"https_proxy", "\thttp://a:1"}, {"http_proxy", "http://b:2"}}, 0,
       "Proxy=http://b:2\n", passed + "https_proxy" + control},
      {"escape and delete", {{"all_proxy", "http://a:1\x1b[2J\x7f"}}, 1, "",
       passed + "all_proxy" + control},
      {"only blanks", {{"all_proxy", "  "}}, 1, "",
       passed + "all_proxy passed over: its value is only blanks\n"},
      {"blanks around a usable value, kept", {{"http_proxy", " http://\xc3\xa9.example:3128 "}},
       0, "Proxy= http://\xc3\xa9.example:3128 \n", ""},
  };
  for (const auto& row : rows) {
    testsupport::RunOptions options = withoutProxyVariables();
    for (const auto& variable : row.env)
      options.setEnv[variable.first] = variable.second;
    for (bool verbose : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (verbose ? " -v" : ""));
      testsupport::RunResult r =
          testsupport::run(TARNLET_BIN, verbose ? std::vector<std::string>{"-v"}
                                                : std::vector<std::string>{},
                           options);
      EXPECT_EQ((verbose ? row.notes : "") + row.out, r.out);
      EXPECT_EQ("", r.err);
      EXPECT_FALSE(r.signaled);
      EXPECT_EQ(row.status, r.exitStatus);
    }
  }
}

TEST(TarnletEndToEnd, MessageManagerRefusingToStartGivesTwo) {
  testsupport::RunOptions options = withoutProxyVariables();
  options.setEnv["http_proxy"] = "http://proxy.example.com:3128";
  options.setEnv["ZEK_MSG_INIT_FAIL"] = "1";
  testsupport::RunResult r = testsupport::run(TARNLET_BIN, {}, options);
  EXPECT_EQ("", r.out);
  EXPECT_FALSE(r.signaled);
  EXPECT_EQ(2, r.exitStatus);
}

}  // namespace
