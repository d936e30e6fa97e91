// A stand-in for SndMgr's two ways of opening the browser, for the tests:
//   BrowserHost.exe <box><CR>   the browser as the program's modal main window
//   BrowserHost.exe /owner <box>  a small owner dialog whose "&FTP Fetchora..."
//                                 button opens the browser modeless (again:
//                                 destroying the earlier one), as the manager's
//                                 button does; closing the owner ends all.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/RegistryProfile.h"
#include "browser/Browser.h"
#include "win/Dialog.h"

#define IDD_HOST 100
#define IDC_HOST_OPEN 101

namespace {

class CHostDlg : public CDialog {
public:
    CHostDlg(std::string box, int port) : CDialog(IDD_HOST), m_box(std::move(box)), m_port(port) {}

protected:
    bool OnCommand(int code, int id, HWND control) override
    {
        if (id == IDC_HOST_OPEN) {
            m_browser.Open(GetModuleHandleA(nullptr), m_hwnd, m_box, m_port);
            return true;
        }
        return CDialog::OnCommand(code, id, control);
    }
    void OnCancel() override
    {
        m_browser.Destroy();
        End(IDCANCEL);
    }

private:
    std::string m_box;
    int m_port;
    CBrowserWindow m_browser;
};

int Run(std::string commandLine)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const std::string owner = "/owner ";
    const bool modeless = commandLine.compare(0, owner.size(), owner) == 0;
    if (modeless)
        commandLine.erase(0, owner.size());
    else if (!commandLine.empty() && commandLine.back() == '\r')
        commandLine.pop_back();
    const int port = SuiteProfile().GetInt(commandLine, BoxValue::Port, 21);
    if (modeless) {
        CHostDlg host(commandLine, port);
        host.DoModal(nullptr);
    } else {
        RunBrowser(GetModuleHandleA(nullptr), nullptr, commandLine, port);
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    try {
        return Run(commandLine ? commandLine : "");
    } catch (...) {
        return 1;
    }
}
