// GUI event broker of the framework (library zek_common).
#ifndef FRAMEWORK_GUI_EVENT_BROKER_H
#define FRAMEWORK_GUI_EVENT_BROKER_H

#include <vector>

#include <boost/any.hpp>
#include <boost/function.hpp>
#include <boost/signals2/connection.hpp>

// The event the shell raises once before it opens its log; its data item 0
// is a bool* that a front end's listener sets to say it is attached.
const int kFlagEventNumber = 61;

// An event as the broker hands it to listeners.
class GuiEvent {
public:
  virtual ~GuiEvent();
  // The event's data item at the given index.
  virtual boost::any& data(int index) const = 0;
};

// A GuiEvent that carries a list of data items; what the shell raises.
class DataGuiEvent : public GuiEvent {
public:
  explicit DataGuiEvent(std::vector<boost::any> items);
  boost::any& data(int index) const override;

private:
  mutable std::vector<boost::any> items_;
};

class GuiEventBroker {
public:
  typedef boost::function<void(const GuiEvent*)> Handler;

  // Registers handler for event number `event`. The listener stays registered
  // until the returned connection is disconnected; dropping it does not.
  static boost::signals2::connection addListener(int event, const Handler& handler) {
    return instance_()->addListener_(event, nullptr, handler);
  }

  // Calls every listener of `event`, in registration order. An exception from
  // a listener propagates to the caller.
  static void dispatch(int event, const GuiEvent& e);

  // Number of listeners registered for `event`.
  static std::size_t listenerCount(int event);

private:
  static GuiEventBroker* instance_();
  boost::signals2::connection addListener_(int event, void* owner, const Handler& handler);
};

#endif
