// runToolLauncher in-process against the test double.
#include <cstdlib>

#include <gtest/gtest.h>

#include "framework/gui_event_broker.h"
#include "framework/testdouble/recorder.h"
#include "launchers/tool_launcher.h"

namespace {

class ToolLauncherTest : public testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"ZEKDOUBLE_RECORD", "ZEKDOUBLE_STATUS", "ZEKDOUBLE_THROW",
                             "ZEKDOUBLE_EVENT"})
      ::unsetenv(name);
    zekdouble::clearCalls();
  }
  void TearDown() override { SetUp(); }
  int launch(const char* app, bool listener) {
    char prog[] = "prog", arg[] = "a b";
    char* argv[] = {prog, arg, nullptr};
    return runToolLauncher(2, argv, app, listener);
  }
};

TEST_F(ToolLauncherTest, PassesArgumentsAndStatusThrough) {
  ::setenv("ZEKDOUBLE_STATUS", "-5", 1);
  EXPECT_EQ(-5, launch("Quindle", false));
  ASSERT_EQ(1u, zekdouble::calls().size());
  zekdouble::Fields f = zekdouble::calls()[0];
  EXPECT_EQ((zekdouble::Fields{"main", "Quindle", "2", "prog", "a b", "null", "null"}),
            zekdouble::Fields(f.begin(), f.end() - 1));
}

TEST_F(ToolLauncherTest, RegistersOneListenerPerCallOnlyWhenAsked) {
  std::size_t before = GuiEventBroker::listenerCount(61);
  launch("Quindle", false);
  EXPECT_EQ(before, GuiEventBroker::listenerCount(61));
  launch("Dravik", true);
  EXPECT_EQ(before + 1, GuiEventBroker::listenerCount(61));
}

TEST_F(ToolLauncherTest, CatchAllWritesOnlyUnknownError) {
  for (const char* kind : {"std", "int", "fw"}) {
    ::setenv("ZEKDOUBLE_THROW", kind, 1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = launch("Dravik", false);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ("Unknown error\n", testing::internal::GetCapturedStderr()) << kind;
    EXPECT_EQ(1, status) << kind;
  }
}

}  // namespace
