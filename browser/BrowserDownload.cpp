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

void CBrowserDlg::QueueDownload(int row, const std::string& target, const std::shared_ptr<CCopyFiles>& copy)
{
    QueueConnectPair(true);
    Command download = {CommandKind::Download};
    download.name = ListServerName(m_list, row);
    download.target = target;
    download.size = ExpectedSize(ListText(m_list, row, ColumnSize));
    download.copy = copy;
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

void CBrowserDlg::DownloadRows(const std::vector<int>& rows, const std::shared_ptr<CCopyFiles>& copy)
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
        QueueDownload(row, target, copy);
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
    std::vector<std::string> names;
    for (int row : rows)
        names.push_back(ListText(m_list, row, ColumnName));
    const auto copy = std::make_shared<CCopyFiles>(GetItemText(IDC_BROWSER_TARGET), names);
    DownloadRows(rows, copy);
    // Also after a refusal: the boxes then get the files that did arrive.
    m_session->boxQueue.Append(dialog.Boxes, copy);
    Command next = {CommandKind::StartNextBox};
    next.copy = copy;
    Queue(next);
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
