// The engine's one window: status line, progress bar, Cancel, and a details
// log of the server's replies. It also decides how the program ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "boxconfig/SuiteNames.h"
#include "engine/PendingDisplay.h"
#include "engine/animator/Animator.h"
#include "win/Dialog.h"
#include "win/Handles.h"
#include "win/HelpFile.h"
#include "win/MsgBox.h"

struct UploadSession;

class CProgressDlg : public CDialog {
public:
    explicit CProgressDlg(UploadSession& session);

    // Display operations; the worker calls them from its own thread. The
    // first three are recorded and shown by the window's thread soon after.
    void SetStatus(const std::string& text);
    void AppendLog(const std::string& reply);
    void ResetProgress();
    void SetTitle(const std::string& text);
    // Shows everything recorded, so that a message box the worker is about
    // to show stands over the state it speaks of.
    void Flush();

    // The progress notification of the FTP client: moves the bar.
    void ReportProgress(uint64_t size, uint64_t sent);

    // The height the window takes with the log shown or hidden.
    int HeightFor(bool detailsShown) const;

protected:
    BOOL OnInit() override;
    bool OnCommand(int code, int id, HWND control) override;
    void OnOK() override {}  // Enter does not close the window
    void OnCancel() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    void OnTimer(UINT_PTR id) override;
    // The window has no help of its own; the trust questions' Help does.
    void OnHelp(DWORD context) override
    {
        if (context == HelpCertificateQuestion)
            m_help.Open(m_hwnd, SuiteTitle, "messages.htm#certificate");
        else if (context == HelpHostKeyQuestion)
            m_help.Open(m_hwnd, SuiteTitle, "messages.htm#hostkey");
    }

private:
    // With wholeLog also a hidden log gets its replies.
    void ShowPending(bool wholeLog);
    void ShowBar();
    void ShowStatus(const std::string& text);
    void AppendLogHere(const std::string& text);
    void ToggleDetails();
    void ShowDetails(bool shown);
    void Complete();
    void Abort(int exitCode);
    void HangUp();

    UploadSession& m_session;
    CHelpFile m_help{"sendora.chm"};
    CPendingDisplay m_pending;
    int m_barWanted = 0;
    DWORD m_lastShown = 0;
    std::string m_unshownLog;
    bool m_dialUpWasActive = false;
    bool m_detailsShown = false;
    CWindowDC m_dc;
    CColorMapBlock m_colorMap;
    CAnimator m_animator;
};

// True when a dial-up connection is up (asked with room for one entry).
bool DialUpActive();
