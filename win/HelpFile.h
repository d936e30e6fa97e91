// The suite's HTML Help files lie beside the programs. A window's Help button
// and F1 open its file at the window's own topic; closing the window closes
// that help window.
#pragma once

#include <windows.h>

#include <string>

class CHelpFile {
public:
    explicit CHelpFile(const char* fileName) : m_fileName(fileName) {}
    CHelpFile(const CHelpFile&) = delete;
    CHelpFile& operator=(const CHelpFile&) = delete;

    // Shows the topic (a page of the file, e.g. "options.htm"; none: the
    // contents) beside the contents, index and search. A missing file, or no
    // HTML Help on the system, is said in a message box captioned caption
    // instead of nothing happening.
    void Open(HWND owner, const std::string& caption, const char* topic = nullptr);
    // Closes the window Open showed, if it is still there.
    void Close();

    // The file beside the running program.
    std::string Path() const;

private:
    std::string m_fileName;
    HWND m_window = nullptr;
};
