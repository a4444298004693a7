#include "framework/standin/exit_channels.h"

#include <cstring>
#include <string>
#include <vector>

namespace zekshell {
namespace {

bool isStandardChannel(Tcl_Channel channel) {
  for (int type : {TCL_STDIN, TCL_STDOUT, TCL_STDERR}) {
    Tcl_Channel standard = Tcl_GetStdChannel(type);
    if (standard && Tcl_GetTopChannel(standard) == Tcl_GetTopChannel(channel))
      return true;
  }
  return false;
}

// A channel made by `open "|..."` (with any transform stacked on it). Closing
// one in blocking mode waits for its children.
bool isCommandPipeline(Tcl_Channel channel) {
  for (Tcl_Channel c = channel; c; c = Tcl_GetStackedChannel(c)) {
    const Tcl_ChannelType* type = Tcl_GetChannelType(c);
    if (type && type->typeName && std::strcmp(type->typeName, "pipe") == 0)
      return true;
  }
  return false;
}

}  // namespace

void prepareChannelsForExit(Tcl_Interp* interp) {
  if (Tcl_GetChannelNamesEx(interp, nullptr) != TCL_OK)
    return;
  // The names first: flushing runs no script, but the list is the result.
  int count = 0;
  Tcl_Obj** names = nullptr;
  Tcl_Obj* list = Tcl_GetObjResult(interp);
  Tcl_IncrRefCount(list);
  std::vector<std::string> channelNames;
  if (Tcl_ListObjGetElements(nullptr, list, &count, &names) == TCL_OK) {
    for (int i = 0; i < count; ++i)
      channelNames.emplace_back(Tcl_GetString(names[i]));
  }
  Tcl_DecrRefCount(list);
  Tcl_ResetResult(interp);
  for (const std::string& name : channelNames) {
    int mode = 0;
    Tcl_Channel channel = Tcl_GetChannel(interp, name.c_str(), &mode);
    if (!channel || isStandardChannel(channel))
      continue;
    if (mode & TCL_WRITABLE) {
      Tcl_SetChannelOption(nullptr, channel, "-blocking", "1");
      Tcl_Flush(channel);
    }
    if (isCommandPipeline(channel))
      Tcl_SetChannelOption(nullptr, channel, "-blocking", "0");
  }
  Tcl_ResetResult(interp);
}

}  // namespace zekshell
