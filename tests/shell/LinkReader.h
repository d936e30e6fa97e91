// Reads a shortcut file back through IShellLinkA, as the shell does.
// The caller has COM initialised.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

struct LinkContents {
    std::string path;
    std::string workingDirectory;
    std::string description;
};

inline HRESULT ReadShortcut(const std::string& file, LinkContents& out)
{
    IShellLinkA* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr))
        return hr;
    IPersistFile* persist = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
    if (SUCCEEDED(hr)) {
        std::vector<wchar_t> wide(file.size() + 1);
        MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
        hr = persist->Load(wide.data(), STGM_READ);
        persist->Release();
    }
    if (SUCCEEDED(hr)) {
        char buf[INFOTIPSIZE] = "";
        // The path as stored, not resolved against what exists now.
        link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
        out.path = buf;
        buf[0] = '\0';
        link->GetWorkingDirectory(buf, MAX_PATH);
        out.workingDirectory = buf;
        buf[0] = '\0';
        link->GetDescription(buf, INFOTIPSIZE);
        out.description = buf;
    }
    link->Release();
    return hr;
}
