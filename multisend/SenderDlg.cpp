#include "multisend/SenderDlg.h"

#include <vector>

#include "multisend/SenderCommand.h"
#include "multisend/resource.h"
#include "shell/BoxListing.h"
#include "win/ModulePath.h"
#include "win/MsgBox.h"
#include "win/Process.h"

CSenderDlg::CSenderDlg(std::string commandTail)
    : CDialog(IDD_SENDER),
      m_commandTail(std::move(commandTail)),
      m_icon(IDI_FTP_FN)
{
}

BOOL CSenderDlg::OnInit()
{
    char about[64] = "";
    LoadStringA(GetModuleHandleA(nullptr), IDS_SENDER_ABOUT, about, sizeof about);
    AppendSystemMenuEntry(m_hwnd, IDM_SENDER_ABOUT, about);
    m_icon.Apply(m_hwnd);

    m_scratch = EnumerateBoxes(m_hwnd, Item(IDC_SENDER_BOXES));
    return TRUE;
}

void CSenderDlg::OnOK()
{
    HWND list = Item(IDC_SENDER_BOXES);
    const LRESULT marked = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    if (marked > 0) {
        std::vector<int> indexes(static_cast<size_t>(marked));
        const LRESULT got =
            SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(marked), reinterpret_cast<LPARAM>(indexes.data()));
        indexes.resize(got > 0 ? static_cast<size_t>(got) : 0);
        // LB_GETSELITEMS gives them in ascending order: the boxes start top down.
        const std::string folder = ProgramFolder();
        for (int index : indexes)
            StartBox(folder, index);
    }
    End(IDOK);
}

void CSenderDlg::StartBox(const std::string& programFolder, int index)
{
    const std::string boxFile = BoxLongFileName(programFolder, ListBoxText(m_scratch, index));
    if (boxFile.empty())
        return;  // gone since the listing: skipped like any box that cannot start
    const std::string command = BoxEngineCommand(programFolder, boxFile, m_commandTail);
    if (!CommandFits(command)) {
        ShowFailure(m_hwnd, TooLongMessage(ListBoxText(Item(IDC_SENDER_BOXES), index)), kSenderTitle);
        return;
    }
    StartCommandLine(command);
}

bool CSenderDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, INT_PTR& result)
{
    if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == IDM_SENDER_ABOUT) {
        CDialog about(IDD_SENDER_ABOUT);
        about.DoModal(m_hwnd);
        result = 0;
        return true;
    }
    return false;
}

void CSenderDlg::OnHelp(DWORD)
{
    m_help.Open(m_hwnd, kSenderTitle, "fanora.htm");
}
