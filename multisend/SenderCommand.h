// What FTP_FN makes of its command tail, and the command line that hands the
// tail on to one box's engine. No Windows header: built and tested natively.
#pragma once

#include <cstddef>
#include <string>

// The program's title: its dialog and every message box bear it.
constexpr char SenderTitle[] = "FTP Fanora";

enum class SenderAction {
    NoFiles,     // empty tail: tell the user and end
    Install,     // exactly "/install": place the two shortcuts
    ChooseBoxes  // anything else is a file list for the boxes
};

SenderAction ActionForTail(const std::string& tail);

// CreateProcess takes at most 32767 characters, the terminating zero included.
constexpr size_t MaxCommandLine = 32766;

// The engine of one box: its path quoted (the suite usually lives below a
// folder with blanks, and unquoted the platform would try C:\Program.exe
// first), then one blank and the tail exactly as FTP_FN received it.
std::string BoxEngineCommand(const std::string& programFolder, const std::string& boxFile, const std::string& tail);

// A command that does not fit must not be started at all: cut short, the
// engine would upload part of the list and say nothing of the rest.
bool CommandFits(const std::string& command);

std::string TooLongMessage(const std::string& boxName);
