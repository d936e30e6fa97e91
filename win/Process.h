// Starting other programs by command line, as the suite's programs do:
// normal show state, no waiting, result not checked by the callers.
#pragma once

#include <string>

// Starts the command line (the first word is the program) with SW_SHOW.
// Returns false when the platform refused it.
bool StartCommandLine(const std::string& commandLine, const char* currentDirectory = nullptr);
