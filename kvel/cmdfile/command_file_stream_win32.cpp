// Windows: the file is opened in binary mode and unbuffered, so that reading
// the head takes exactly its bytes from the system; a text file is then
// switched to text mode for the rest.
#include "kvel/cmdfile/command_file_stream.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstring>

namespace KVEL {

namespace {

const char kCtrlZ = '\x1A';

bool isSerialDeviceName(std::string name) {
  // "COM1:" names the port as well as "COM1".
  if (!name.empty() && name.back() == ':')
    name.pop_back();
  const std::size_t start = name.find_last_of("/\\:");
  if (start != std::string::npos)
    name.erase(0, start + 1);
  // The system maps a reserved name with an extension ("COM1.txt") to the
  // device too.
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos)
    name.erase(dot);
  while (!name.empty() && name.back() == ' ')
    name.pop_back();
  for (char& c : name) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  if (name == "AUX")
    return true;
  return name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '9';
}

const char kSerialReason[] =
    "is a serial port; command files are read from files, pipes and the null device";

}  // namespace

bool isReadableName(const std::string& fileName, std::string* err) {
  if (!isSerialDeviceName(fileName))
    return true;
  *err = kSerialReason;
  return false;
}

std::FILE* openCommandFile(const std::string& fileName) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file != nullptr)
    std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

bool isReadableSource(std::FILE* file, std::string* err) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_CHAR)
    return true;
  // Of the character devices, only a communications device has a state
  // (baud rate and the like): the null device and the console have none.
  DCB state;
  state.DCBlength = sizeof state;
  if (!GetCommState(handle, &state))
    return true;
  *err = kSerialReason;
  return false;
}

bool readHead(std::FILE* file, std::size_t count, std::string& head, std::string* err) {
  head.clear();
  // A pipe may hand out fewer bytes than asked for at a time.
  while (head.size() < count) {
    char byte = 0;
    errno = 0;
    if (std::fread(&byte, 1, 1, file) != 1) {
      if (std::ferror(file)) {
        *err = std::strerror(errno != 0 ? errno : EIO);
        return false;
      }
      break;
    }
    head += byte;
  }
  return true;
}

bool continueAsText(std::FILE* file, std::string& head) {
  _setmode(_fileno(file), _O_TEXT);
  // A text-mode read ends the file at Ctrl-Z and reads CR LF as LF.
  const std::size_t end = head.find(kCtrlZ);
  if (end != std::string::npos) {
    head.erase(end);
    return false;
  }
  for (std::size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at)) {
    head.erase(at, 1);
  }
  return true;
}

}  // namespace KVEL
