// Replacing a file as a whole: the new content is written under a temporary
// name in the same directory and then moved over the file in one step, so a
// reader sees either the old file or the complete new one.
#ifndef KVEL_FILE_REPLACEMENT_H
#define KVEL_FILE_REPLACEMENT_H

#include <cstdio>
#include <string>

namespace KVEL {

// Creates a new, empty file named path + "." + a suffix unique to this call,
// opened for writing in text mode, with the permissions that an ordinary new
// file would get. Returns null on failure; otherwise temporaryPath holds the
// new file's name.
std::FILE* createReplacement(const std::string& path, std::string& temporaryPath);

// Moves temporaryPath over path, replacing any file there. False on failure.
bool commitReplacement(const std::string& temporaryPath, const std::string& path);

}  // namespace KVEL

#endif
