#pragma once
// The command line of the running program, available before the application
// object exists (module initialisation reads it).
#include <QString>

// Keeps the arguments that the application object leaves once it took its
// own switches out; TApplication gives them.
void SetProgramArguments(int argc, const char* const* argv);
// The number of arguments after the program name.
int ParamCount();
// Argument Index (1-based), as DecodeFileName gives its bytes, so that a
// file name that is no UTF-8 keeps them; 0 is the full path of the
// executable; "" beyond ParamCount().
QString ParamStr(int Index);
