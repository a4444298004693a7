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

// The elements of the list in the interpreter's result, which is reset.
std::vector<std::string> resultList(Tcl_Interp* interp) {
  std::vector<std::string> elements;
  Tcl_Obj* list = Tcl_GetObjResult(interp);
  Tcl_IncrRefCount(list);
  int count = 0;
  Tcl_Obj** items = nullptr;
  if (Tcl_ListObjGetElements(nullptr, list, &count, &items) == TCL_OK) {
    for (int i = 0; i < count; ++i)
      elements.emplace_back(Tcl_GetString(items[i]));
  }
  Tcl_DecrRefCount(list);
  Tcl_ResetResult(interp);
  return elements;
}

void prepareOwnChannels(Tcl_Interp* interp) {
  if (Tcl_GetChannelNamesEx(interp, nullptr) != TCL_OK)
    return;
  for (const std::string& name : resultList(interp)) {
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

// The names of the direct children, through the saved `interp` command.
std::vector<std::string> childNames(Tcl_Interp* interp, const Tcl_CmdInfo& interpCommand) {
  Tcl_Obj* objv[] = {Tcl_NewStringObj("interp", -1), Tcl_NewStringObj("slaves", -1)};
  for (Tcl_Obj* obj : objv)
    Tcl_IncrRefCount(obj);
  const int code = interpCommand.objProc(interpCommand.objClientData, interp, 2, objv);
  for (Tcl_Obj* obj : objv)
    Tcl_DecrRefCount(obj);
  if (code != TCL_OK) {
    Tcl_ResetResult(interp);
    return {};
  }
  return resultList(interp);
}

}  // namespace

void prepareChannelsForExit(Tcl_Interp* interp, const Tcl_CmdInfo& interpCommand) {
  prepareOwnChannels(interp);
  if (!interpCommand.objProc)
    return;
  for (const std::string& name : childNames(interp, interpCommand)) {
    // A child's path is a list: a name with a blank is one element.
    const char* element = name.c_str();
    char* path = Tcl_Merge(1, &element);
    Tcl_Interp* child = Tcl_GetSlave(interp, path);
    Tcl_Free(path);
    if (child)
      prepareChannelsForExit(child, interpCommand);
  }
}

}  // namespace zekshell
