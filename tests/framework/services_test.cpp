// The stand-in message manager and usage-statistics manager, in-process.
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "framework/message_manager.h"
#include "framework/quindle_manager.h"
#include "tests/support/test_process.h"

namespace {

using namespace MessageManager;

const MsgMask kLow = static_cast<MsgMask>(0x1u);
const MsgMask kHigh = static_cast<MsgMask>(0x20000000u);
const MsgMask kBoth = static_cast<MsgMask>(0x20000001u);
const MsgMask kOther = static_cast<MsgMask>(0x4u);

class MessageManagerTest : public testing::Test {
protected:
  void SetUp() override {
    init(MSG_CACHE_NONE, "");
    openHandle(low, kLow);
    openHandle(high, kHigh);
  }
  void TearDown() override { uninit(); }
  std::ostringstream low, high;
};

TEST_F(MessageManagerTest, MessageGoesToEveryHandleSharingAMaskBit) {
  sendMsg::eval(0, "f.cpp", 1, "common", kLow, "to low\n");
  sendMsg::eval(0, "f.cpp", 2, "common", kHigh, "to high\n");
  sendMsg::eval(0, "f.cpp", 3, "common", kBoth, "to both\n");
  sendMsg::eval(0, "f.cpp", 4, "common", kOther, "to none\n");
  EXPECT_EQ("to low\nto both\n", low.str());
  EXPECT_EQ("to high\nto both\n", high.str());
}

TEST_F(MessageManagerTest, TextIsAPrintfFormatOverTheTail) {
  sendMsg::eval(0, "f.cpp", 1, "common", kLow, "%s=%d %%\n", "n", 42);
  std::string longWord(1000, 'w');
  sendMsg::eval(0, "f.cpp", 2, "common", kLow, "[%s]", longWord.c_str());
  EXPECT_EQ("n=42 %\n[" + longWord + "]", low.str());
}

TEST_F(MessageManagerTest, ScopedMessageShowsOnlyWhenItsLevelIsVisible) {
  sendScopedMsg::eval(0, "f.cpp", 1, "common", "quindle", kLow, "unknown scope\n");
  addScope("quindle", 5);
  sendScopedMsg::eval(0, "f.cpp", 2, "common", "quindle", kLow, "visibility 0\n");
  setVisibility(4);
  sendScopedMsg::eval(0, "f.cpp", 3, "common", "quindle", kLow, "visibility 4\n");
  setVisibility(5);
  sendScopedMsg::eval(0, "f.cpp", 4, "common", "quindle", kLow, "visibility %d\n", 5);
  sendScopedMsg::eval(0, "f.cpp", 5, "common", "other", kLow, "other scope\n");
  EXPECT_EQ("visibility 5\n", low.str());
}

TEST_F(MessageManagerTest, NothingIsWrittenAfterUninitAndInitStartsAfresh) {
  uninit();
  EXPECT_EQ(0u, openHandle(low, kLow));
  sendMsg::eval(0, "f.cpp", 1, "common", kLow, "after uninit\n");
  init(MSG_CACHE_NONE, "");
  sendMsg::eval(0, "f.cpp", 2, "common", kLow, "no handle left\n");
  EXPECT_EQ("", low.str());
}

TEST(MessageManagerInit, FailsOnRequest) {
  testsupport::setEnvironment("ZEK_MSG_INIT_FAIL", "1");
  EXPECT_THROW(init(MSG_CACHE_NONE, ""), std::runtime_error);
  testsupport::unsetEnvironment("ZEK_MSG_INIT_FAIL");
}

const char* const kProxyVariables[] = {"https_proxy", "HTTPS_PROXY", "http_proxy",
                                       "HTTP_PROXY",  "all_proxy",   "ALL_PROXY"};

class ProxySettingsTest : public testing::Test {
protected:
  void SetUp() override {
    for (const char* name : kProxyVariables)
      testsupport::unsetEnvironment(name);
  }
  void TearDown() override { SetUp(); }
};

TEST_F(ProxySettingsTest, EmptyWhenNoneIsSet) {
  EXPECT_EQ("", QuindleManager::GetProxySettings());
  testsupport::setEnvironment("http_proxy", "");
  EXPECT_EQ("", QuindleManager::GetProxySettings());
}

TEST_F(ProxySettingsTest, FirstNonEmptyVariableWins) {
  // Set from the lowest priority up: each newly set variable must win.
  for (int i = 5; i >= 0; --i) {
    std::string value = std::string("http://") + kProxyVariables[i] + ":3128";
    testsupport::setEnvironment(kProxyVariables[i], value.c_str());
    EXPECT_EQ(value, QuindleManager::GetProxySettings()) << kProxyVariables[i];
  }
  testsupport::setEnvironment("https_proxy", "");  // empty: the next one counts
  // On Windows names are case-insensitive: https_proxy and HTTPS_PROXY are
  // one variable, as are http_proxy and HTTP_PROXY, which holds the value set last.
  EXPECT_EQ(testsupport::kWindows ? "http://http_proxy:3128" : "http://HTTPS_PROXY:3128",
            QuindleManager::GetProxySettings());
}

TEST(UsageStatistics, SetUserEnabledKeepsTheChoiceAndReturnsThePrevious) {
  bool initial = QuindleManager::setUserEnabled(false);
  EXPECT_TRUE(initial);
  EXPECT_FALSE(QuindleManager::setUserEnabled(false));
  EXPECT_FALSE(QuindleManager::setUserEnabled(true));
  EXPECT_TRUE(QuindleManager::setUserEnabled(true));
}

}  // namespace
