#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "shell/ShellFolders.h"
#include "win/MsgBox.h"

namespace {

// Owns one interface pointer; releases it on every way out.
template <class T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    ~CComPtr()
    {
        if (m_p)
            m_p->Release();
    }
    T* operator->() const { return m_p; }
    void** Out() { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};

std::vector<wchar_t> Wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return {};
    std::vector<wchar_t> wide(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    return wide;
}

}  // namespace

HRESULT CreateShortcut(const std::string& target, const std::string& folder, const std::string& name,
                       const std::string& caption)
{
    const std::string file = ShortcutFilePath(folder, name);
    CComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out());
    if (FAILED(hr))
        return hr;
    CComPtr<IPersistFile> persist;
    hr = link->QueryInterface(IID_IPersistFile, persist.Out());
    if (FAILED(hr))
        return hr;

    // The steps are independent: one link can raise every message in turn.
    const HWND owner = GetActiveWindow();
    if (FAILED(link->SetPath(target.c_str())))
        ShowFailure(owner, "SetPath failed!", caption);
    if (FAILED(link->SetWorkingDirectory(CurrentDirectory().c_str())))
        ShowFailure(owner, "SetWorkingDirectory failed!", caption);
    if (FAILED(link->SetDescription(name.c_str())))
        ShowFailure(owner, "SetDescription failed!", caption);

    const std::vector<wchar_t> wide = Wide(file);
    hr = wide.empty() ? E_INVALIDARG : persist->Save(wide.data(), TRUE);
    if (FAILED(hr))
        ShowFailure(owner, "Save failed!", caption);
    return hr;
}
