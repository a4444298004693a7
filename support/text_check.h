// Checks that the text the system hands a front end (its arguments and the
// environment values it uses) reached it unchanged in the process code page,
// and lets a console show that text.
#ifndef SUPPORT_TEXT_CHECK_H
#define SUPPORT_TEXT_CHECK_H

#include <initializer_list>
#include <string>

namespace frontend {

// True when no argument lost a character on its way into argv. On Windows the
// system converts the command line into the process code page; where that is
// not UTF-8 (the application manifest has no effect before Windows 10 version
// 1903), a character the code page cannot hold would become '?' or a
// look-alike: false then, with an "ERROR: " line in *err. Elsewhere the bytes
// arrive as they are.
bool argumentsIntact(int argc, char** argv, std::string* err);

// The same for the value of the environment variable `name` (a name in the
// process code page); unset is intact.
bool environmentIntact(const char* name, std::string* err);

// Both checks for a program's main: argv and the named variables. The first
// failure's message is returned in *err.
bool programTextIntact(int argc, char** argv, std::initializer_list<const char*> environmentNames,
                       std::string* err);

// From now until the process ends, a console on standard output or error
// shows text in the process code page (on Windows its output code page is
// switched to it and put back at exit or on a console interruption).
// Elsewhere nothing changes.
void showProcessTextOnConsole();

}  // namespace frontend

#endif
