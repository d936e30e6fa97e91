// What one run of the manager does, by its command line: the whole text
// after the program name is one argument, neither split nor unquoted.
#pragma once

#include <string>

enum class ManagerMode {
    PlaceStartMenuShortcut,  // exactly "/i" or "/I"
    BoxDialog,               // empty (a new box) or a box name
    Browser,                 // a box name ending in a carriage return
};

struct ManagerCommand {
    ManagerMode mode;
    std::string boxName;  // without the carriage return
};

ManagerCommand ParseManagerCommandLine(const std::string& commandLine);
