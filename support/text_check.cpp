#include "support/text_check.h"

namespace frontend {

bool programTextIntact(int argc, char** argv, std::initializer_list<const char*> environmentNames,
                       std::string* err) {
  if (!argumentsIntact(argc, argv, err))
    return false;
  for (const char* name : environmentNames)
    if (!environmentIntact(name, err))
      return false;
  return true;
}

}  // namespace frontend
