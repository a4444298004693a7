// The GUI event 61 listener that kvel and dravik register before the shell
// starts: the event's data item 0 is a bool* and the listener sets it true.
#ifndef FRAMEWORK_EVENT_FLAG_LISTENER_H
#define FRAMEWORK_EVENT_FLAG_LISTENER_H

#include <boost/any.hpp>

#include "framework/fw_error.h"
#include "framework/gui_event_broker.h"

// Data item 0 of the event as T; throws FwAlgException when it holds another type.
template <typename T>
T eventData(const GuiEvent* event) {
  try {
    return boost::any_cast<T>(event->data(0));
  } catch (const boost::bad_any_cast&) {
    throw FwAlgException("failed type conversion of event data");
  }
}

void setFlagOnEvent(const GuiEvent* event);

// Registers setFlagOnEvent for event 61 and drops the connection, so the
// listener stays registered for the life of the process.
void registerFlagListener();

#endif
