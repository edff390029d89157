#pragma once
// The command line of the running program, available before the application
// object exists (module initialisation reads it).
#include <QString>

// The number of arguments after the program name.
int ParamCount();
// Argument Index (1-based); 0 is the full path of the executable; "" beyond
// ParamCount().
QString ParamStr(int Index);
