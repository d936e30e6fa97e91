// Paths of the running program.
#pragma once

#include <string>

// Full path of the running program's executable ("" when it cannot be had).
std::string ModulePath();

// The folder of the running program's executable, ending in a backslash.
std::string ProgramFolder();
