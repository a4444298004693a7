// The shipped probe with the stand-in framework: proxy settings from the
// environment.
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
