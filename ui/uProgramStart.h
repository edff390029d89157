#pragma once
// The program's start-up order: the main window (disabled), the start image
// for its minimum time, then the project named on the command line or the
// new-project wizard.
#include <QStringList>

class TMaster;

// Runs the start-up with the command-line arguments (without the program
// name, as DecodeFileName gives them) and returns the main window, shown and
// enabled; the caller owns it and runs the event loop. Exactly one argument
// naming an existing file is opened as a project (an error opening it is
// shown); anything else runs the new-project command.
TMaster* StartProgram(const QStringList& Arguments);
