#pragma once
// The command line and the console as the command-line modes see them: the arguments as typed
// (Chinese paths included) and text printed readably, on Windows in the console's own code page.
#include <QString>
#include <QStringList>
#include <cstdio>

namespace app::console {

// The arguments after the program's name. On Windows they are read as the wide command line, so a
// path the system's code page cannot hold arrives whole.
QStringList arguments(int argc, char** argv);

// Prints text to stdout or stderr and flushes. A Windows console gets the text as it is; a
// redirected output (a file, a pipe) gets it in the console's code page (cmd.exe's 936 on a
// Chinese system), else in the system's; elsewhere UTF-8.
void print(FILE* to, const QString& text);

// On Windows, a program started from the Start menu or Explorer gets a console window of its own:
// the window modes hide it. A console the program shares (cmd.exe's) is left alone.
void releaseOwnConsole();

}  // namespace app::console
