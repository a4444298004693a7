// Opening a command file so that its first bytes can be looked at before the
// way it is read is chosen: a file that starts with a UTF-16 byte-order mark
// is read as bytes and converted; any other file is read as text (on Windows
// in text mode: CR LF gives LF, Ctrl-Z ends the file).
#ifndef KVEL_CMDFILE_COMMAND_FILE_STREAM_H
#define KVEL_CMDFILE_COMMAND_FILE_STREAM_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace KVEL {

// False with the reason in *err when the name denotes a device that is not
// read as a command file: on Windows a serial port (COM1 to COM9, AUX), whose
// reading waits for data that may never come. Checked before the file is
// opened.
bool isReadableName(const std::string& fileName, std::string* err);

// Opens the file to be read, as bytes for now. Null when it cannot be opened.
std::FILE* openCommandFile(const std::string& fileName);

// As isReadableName, for what the open file turned out to be.
bool isReadableSource(std::FILE* file, std::string* err);

// Reads up to `count` bytes from the start of the file, as they are (fewer at
// end of file). False on a read error, with the system's text for it in *err.
bool readHead(std::FILE* file, std::size_t count, std::string& head, std::string* err);

// Goes on reading the file as text after its head was read as bytes, and
// gives the head the treatment a text-mode read would have given it. False
// when the head already ended the file (a Ctrl-Z on Windows): nothing more is
// to be read.
bool continueAsText(std::FILE* file, std::string& head);

}  // namespace KVEL

#endif
