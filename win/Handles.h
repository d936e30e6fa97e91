// Owners of the system's handles, each given back on every way out of its
// scope: kernel objects (events, threads), file searches, C streams and
// device contexts. Not copyable; Get() lends the handle.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "win/LocalFiles.h"

// Owns one handle, given back with Free unless it is null.
template <class T, class Free>
class COwner {
public:
    explicit COwner(T handle = nullptr) : m_handle(handle) {}
    ~COwner()
    {
        if (m_handle)
            Free()(m_handle);
    }
    COwner(const COwner&) = delete;
    COwner& operator=(const COwner&) = delete;

    T Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    T m_handle;
};

struct FreeKernelObject {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct FreeStream {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
struct FreeMemoryDC {
    void operator()(HDC dc) const { DeleteDC(dc); }
};

// A kernel object (an event, a thread).
using CHandle = COwner<HANDLE, FreeKernelObject>;

// An unnamed event; null (and false) when it could not be created.
class CEvent : public CHandle {
public:
    CEvent(bool manualReset, bool signalled)
        : CHandle(CreateEventA(nullptr, manualReset ? TRUE : FALSE, signalled ? TRUE : FALSE, nullptr))
    {
    }
    void Set() const
    {
        if (Get())
            SetEvent(Get());
    }
    void Reset() const
    {
        if (Get())
            ResetEvent(Get());
    }
};

// One search of the file system, entry by entry in the order it gives.
class CFindFile {
public:
    CFindFile() = default;
    ~CFindFile() { Close(); }
    CFindFile(const CFindFile&) = delete;
    CFindFile& operator=(const CFindFile&) = delete;

    // True when something matches; the first entry is then current. Wide
    // calls: any name, and patterns past MAX_PATH.
    bool First(const std::string& pattern)
    {
        Close();
        m_find = FindFirstFileW(WidePath(pattern).c_str(), &m_data);
        return m_find != INVALID_HANDLE_VALUE;
    }
    // The next entry; false when there is none.
    bool Next() { return m_find != INVALID_HANDLE_VALUE && FindNextFileW(m_find, &m_data); }
    // The current entry's name in the program's text, and its attributes.
    std::string Name() const { return ProgramText(m_data.cFileName); }
    DWORD Attributes() const { return m_data.dwFileAttributes; }
    bool IsDirectory() const { return (m_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    void Close()
    {
        if (m_find != INVALID_HANDLE_VALUE)
            FindClose(m_find);
        m_find = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW m_data = {};
};

// A C stream; false when the file could not be opened.
class CStdFile : public COwner<std::FILE*, FreeStream> {
public:
    CStdFile(const std::string& path, const char* mode) : COwner(std::fopen(path.c_str(), mode)) {}
};

// A window's device context, kept for as long as the window draws into it
// and given back with ReleaseDC.
class CWindowDC {
public:
    CWindowDC() = default;
    ~CWindowDC() { Release(); }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;

    HDC Acquire(HWND window)
    {
        Release();
        m_window = window;
        m_dc = GetDC(window);
        return m_dc;
    }
    void Release()
    {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
        m_dc = nullptr;
        m_window = nullptr;
    }
    HDC Get() const { return m_dc; }

private:
    HWND m_window = nullptr;
    HDC m_dc = nullptr;
};

// A memory device context compatible with another.
class CMemoryDC : public COwner<HDC, FreeMemoryDC> {
public:
    explicit CMemoryDC(HDC like) : COwner(CreateCompatibleDC(like)) {}
};
