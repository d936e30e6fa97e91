// Start-up of the upload engine: who am I (the box name comes from the
// engine copy's own file name), what to send, and with what.
#pragma once

#include <windows.h>

#include <string>

#include "engine/EngineMessages.h"

// Starts Windows Sockets 1.1; on failure tells the user, titled by the box name.
bool StartEngineSockets(const std::string& boxName);

// The path list of "/b <folder>": every entry of engineFolder + folder + "\".
// False when the folder cannot be listed (it does not exist). An empty folder
// gives an empty list: the run then logs in and completes with nothing sent.
bool BuildFolderPathList(const std::string& engineFolder, const std::string& folder, std::string& list);

// The whole start-up; returns the process exit code.
int RunEngine(HINSTANCE instance, const std::string& commandLine);
