#include "framework/standin/file_identity.h"

#include <sys/stat.h>

#include <tcl.h>

namespace zekshell {
namespace {

// Through Tcl's file system layer, which turns the name into the same
// native name as when Tcl opens the file.
bool identify(const std::string& path, Tcl_WideUInt& device, Tcl_WideUInt& number) {
  Tcl_Obj* name = Tcl_NewStringObj(path.data(), static_cast<int>(path.size()));
  Tcl_IncrRefCount(name);
  Tcl_StatBuf* status = Tcl_AllocStatBuf();
  const bool found = Tcl_FSStat(name, status) == 0;
  if (found) {
    device = static_cast<Tcl_WideUInt>(status->st_dev);
    number = static_cast<Tcl_WideUInt>(status->st_ino);
  }
  Tcl_Free(reinterpret_cast<char*>(status));
  Tcl_DecrRefCount(name);
  return found;
}

}  // namespace

bool sameExistingFile(const std::string& first, const std::string& second) {
  Tcl_WideUInt firstDevice = 0, firstNumber = 0, secondDevice = 0, secondNumber = 0;
  return identify(first, firstDevice, firstNumber) &&
         identify(second, secondDevice, secondNumber) && firstDevice == secondDevice &&
         firstNumber == secondNumber;
}

}  // namespace zekshell
