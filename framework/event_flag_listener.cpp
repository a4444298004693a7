#include "framework/event_flag_listener.h"

void setFlagOnEvent(const GuiEvent* event) {
  *eventData<bool*>(event) = true;
}

void registerFlagListener() {
  GuiEventBroker::addListener(kFlagEventNumber, GuiEventBroker::Handler(&setFlagOnEvent));
}
