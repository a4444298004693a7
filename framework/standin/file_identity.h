// Whether two names refer to the same existing file (through links, other
// spellings or hard links): compared by device and file number.
#ifndef FRAMEWORK_STANDIN_FILE_IDENTITY_H
#define FRAMEWORK_STANDIN_FILE_IDENTITY_H

#include <string>

namespace zekshell {

// Names in UTF-8, looked up as Tcl opens them. False when either does not
// exist.
bool sameExistingFile(const std::string& first, const std::string& second);

}  // namespace zekshell

#endif
