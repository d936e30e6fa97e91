// The upload run: progress window, worker, completion.
#pragma once

#include <windows.h>

#include <string>

// Runs the upload of pathList for the box; returns the exit code.
int RunUpload(HINSTANCE instance, const std::string& boxName, const std::string& pathList);
