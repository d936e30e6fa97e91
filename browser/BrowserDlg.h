// "FTP Fetchora": one box's server directory in a list, with the ways to
// move through the server's directories and to make, delete and rename
// entries. The window never waits for the server: every exchange is a
// command queued to the workers.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "boxconfig/Profile.h"
#include "browser/BrowserSession.h"
#include "browser/ListOrder.h"
#include "browser/Workers.h"
#include "engine/animator/Animator.h"
#include "win/Dialog.h"
#include "win/Handles.h"
#include "win/HelpFile.h"
#include "win/Placement.h"

class CBrowserDlg : public CDialog {
public:
    // port: the manager's pending port for the box.
    CBrowserDlg(CProfile& profile, std::string boxName, int port);
    ~CBrowserDlg() override;

protected:
    BOOL OnInit() override;
    bool OnCommand(int code, int id, HWND control) override;
    bool OnNotify(NMHDR* header) override;
    void OnOK() override;
    void OnCancel() override;
    void OnHelp(DWORD context) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

private:
    void CreateAnimation();
    void OpenFromCacheOrServer();

    // The queuing rule: a connect and a restore-directory ahead of a command
    // while the connection is not up. `setsFlag`: the handler decides whether
    // the restore sends its CWD (1 when it queues the pair, 0 otherwise).
    void QueueConnectPair(bool setsFlag);
    void Queue(const Command& command);
    void Refresh();

    void OnNewDirectory();
    void OnDelete();
    void OnRename();
    void OpenSelected();
    void OnBack();
    void OnDirectoryChosen();
    void SortBy(int column);
    // The window grows and shrinks down to its designed size; its size and
    // the column widths are kept for the user, not for the box.
    void LayOut();
    void RestoreWindowSize();
    void SaveWindowSize();
    void OnDpiChanged(int dpi);
    void ShowContextMenu();
    void LoadCache();
    void Paint();
    void OnWorkerSignal(WPARAM signal);

    // Download, copy to other boxes and the local target directory
    // (BrowserDownload.cpp).
    void OpenFileRow(int row);
    void OnDownload();
    void OnCopyTo();
    void OnBrowse();
    void StartNextBox();
    // Queues a download per row, in order, until a directory row or a
    // missing target folder stops it with its message; `copy` hears of the
    // files that arrive.
    void DownloadRows(const std::vector<int>& rows, const std::shared_ptr<CCopyFiles>& copy = nullptr);
    void QueueDownload(int row, const std::string& target, const std::shared_ptr<CCopyFiles>& copy = nullptr);

    // Every way of closing ends here: workers stopped or waited for, the
    // connection closed, Windows Sockets released. Runs once.
    void Shutdown();

    CProfile& m_profile;
    const std::string m_box;
    std::shared_ptr<CBrowserSession> m_session;
    HWND m_list = nullptr;
    ListSort m_sort;
    CAnchorLayout m_layout;
    SIZE m_minSize = {0, 0};
    int m_dpi = 96;
    bool m_dpiChanging = false;
    bool m_changeDirectory = true;
    bool m_socketsStarted = false;
    CHelpFile m_help{"Fetchora.chm"};
    bool m_shutDown = false;

    CWindowDC m_dc;
    POINT m_animationAt = {0, 0};
    CColorMapBlock m_colorMap;
    CAnimator m_animator;
};
