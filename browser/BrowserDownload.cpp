// The browser window's downloads, its copies to other boxes and the local
// target folder.
#include "browser/BrowserDlg.h"

#include <shlobj.h>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/SuiteNames.h"
#include "browser/BrowserList.h"
#include "browser/CopyToDlg.h"
#include "browser/Download.h"
#include "browser/DownloadRules.h"
#include "browser/resource.h"
#include "win/MsgBox.h"

namespace {

const char NoTarget[] = "Target directory is not specified.\nPlease specify one.";

}  // namespace

void CBrowserDlg::QueueDownload(int row, const std::string& target)
{
    QueueConnectPair(true);
    Command download = {CommandKind::Download};
    download.name = ListText(m_list, row, ColumnName);
    download.target = target;
    download.size = ExpectedSize(ListText(m_list, row, ColumnSize));
    Queue(download);
}

void CBrowserDlg::OpenFileRow(int row)
{
    m_session->yesToAll = false;
    const std::string target = GetItemText(IDC_BROWSER_TARGET);
    if (target.empty()) {
        ShowFailure(m_hwnd, NoTarget, kSuiteTitle);
        return;
    }
    QueueDownload(row, target);
}

void CBrowserDlg::DownloadRows(const std::vector<int>& rows)
{
    m_session->yesToAll = false;
    for (int row : rows) {
        if (IsDirectoryRow(m_list, row)) {
            ShowFailure(m_hwnd, "Unable to download a directory", kSuiteTitle);
            return;
        }
        const std::string target = GetItemText(IDC_BROWSER_TARGET);
        if (target.empty()) {
            ShowFailure(m_hwnd, NoTarget, kSuiteTitle);
            return;
        }
        QueueDownload(row, target);
    }
}

void CBrowserDlg::OnDownload()
{
    DownloadRows(SelectedRows(m_list));
}

void CBrowserDlg::OnCopyTo()
{
    const std::vector<int> rows = SelectedRows(m_list);
    if (rows.empty()) {
        ShowFailure(m_hwnd, "Please select the file(s) to be copied", kSuiteTitle);
        return;
    }
    CCopyToDlg dialog;
    if (dialog.DoModal(m_hwnd) != IDOK)
        return;
    DownloadRows(rows);
    // Also after a refusal: the boxes then get what lies in the folder.
    m_session->boxQueue.Append(dialog.Boxes);
    Queue({CommandKind::StartNextBox});
}

void CBrowserDlg::StartNextBox()
{
    ::StartNextBox(*m_session);
}

void CBrowserDlg::OnBrowse()
{
    BROWSEINFOA info = {};
    info.hwndOwner = m_hwnd;
    info.lpszTitle = "Select a destination folder:";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen)
        return;
    char path[MAX_PATH] = "";
    const bool isFolder = SHGetPathFromIDListA(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (!isFolder || !path[0])
        return;
    SetItemText(IDC_BROWSER_TARGET, path);
    m_profile.WriteString(m_box, BoxValue::TargetDirectory, path);
}
