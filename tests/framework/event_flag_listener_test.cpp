// The event-61 listener pieces, in-process against the stand-in broker.
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "framework/event_flag_listener.h"

namespace {

DataGuiEvent eventWith(boost::any item) {
  return DataGuiEvent(std::vector<boost::any>{item});
}

TEST(SetFlagOnEvent, SetsTheFlagEveryTime) {
  bool flag = false;
  DataGuiEvent event = eventWith(&flag);
  setFlagOnEvent(&event);
  EXPECT_TRUE(flag);
  setFlagOnEvent(&event);
  EXPECT_TRUE(flag);
}

TEST(EventData, WrongTypeThrowsFwAlgExceptionCatchableAsEveryBase) {
  DataGuiEvent event = eventWith(42);
  EXPECT_EQ(42, eventData<int>(&event));
  try {
    setFlagOnEvent(&event);
    FAIL() << "no exception";
  } catch (const FwAlgException& e) {
    EXPECT_STREQ("failed type conversion of event data", e.what());
  }
  EXPECT_THROW(eventData<bool*>(&event), FwError);
  EXPECT_THROW(eventData<bool*>(&event), FwErrorBase);
  EXPECT_THROW(eventData<bool*>(&event), std::exception);
  // A const bool* is another type, not a bool*.
  bool flag = false;
  DataGuiEvent constEvent = eventWith(static_cast<const bool*>(&flag));
  EXPECT_THROW(setFlagOnEvent(&constEvent), FwAlgException);
}

TEST(RegisterFlagListener, StaysRegisteredAndAnswersEvent61Only) {
  std::size_t before = GuiEventBroker::listenerCount(61);
  registerFlagListener();
  EXPECT_EQ(before + 1, GuiEventBroker::listenerCount(61));

  bool flag = false;
  GuiEventBroker::dispatch(60, eventWith(&flag));
  EXPECT_FALSE(flag);
  GuiEventBroker::dispatch(61, eventWith(&flag));
  EXPECT_TRUE(flag);

  // The listener's exception leaves through the broker's dispatch.
  EXPECT_THROW(GuiEventBroker::dispatch(61, eventWith(std::string("x"))), FwAlgException);
}

}  // namespace
