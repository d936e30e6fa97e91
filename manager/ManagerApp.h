// Start-up of the box manager: the shell folders, the command line's form,
// and the one window (or install step) of the run.
#pragma once

#include <string>

// Returns the process exit code.
int RunManager(const std::string& commandLine);
