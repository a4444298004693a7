// Process-wide GUI event broker, shared by the stand-in and the test double.
#include "framework/gui_event_broker.h"

#include <map>
#include <memory>
#include <stdexcept>

#include <boost/signals2/signal.hpp>

namespace {

typedef boost::signals2::signal<void(const GuiEvent*)> EventSignal;

std::map<int, std::unique_ptr<EventSignal>>& signals() {
  static std::map<int, std::unique_ptr<EventSignal>> table;
  return table;
}

EventSignal& signalFor(int event) {
  std::unique_ptr<EventSignal>& slot = signals()[event];
  if (!slot)
    slot.reset(new EventSignal);
  return *slot;
}

}  // namespace

GuiEvent::~GuiEvent() {}

DataGuiEvent::DataGuiEvent(std::vector<boost::any> items) : items_(std::move(items)) {}

boost::any& DataGuiEvent::data(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
    throw std::out_of_range("GUI event has no data item at this index");
  return items_[static_cast<std::size_t>(index)];
}

GuiEventBroker* GuiEventBroker::instance_() {
  static GuiEventBroker broker;
  return &broker;
}

boost::signals2::connection GuiEventBroker::addListener_(int event, void* /*owner*/,
                                                         const Handler& handler) {
  return signalFor(event).connect(handler);
}

void GuiEventBroker::dispatch(int event, const GuiEvent& e) {
  auto it = signals().find(event);
  if (it != signals().end())
    (*it->second)(&e);
}

std::size_t GuiEventBroker::listenerCount(int event) {
  auto it = signals().find(event);
  return it == signals().end() ? 0 : it->second->num_slots();
}
