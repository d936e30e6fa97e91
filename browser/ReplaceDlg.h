// "<path> Already exists. Replace the exisiting file?" with Yes, Yes to all
// and No; shown by the download worker that holds the gate.
#pragma once

#include <string>

#include "engine/animator/Animator.h"
#include "win/Dialog.h"

class CReplaceDlg : public CDialog {
public:
    enum Answer { Yes, YesToAll, No };

    explicit CReplaceDlg(std::string path);
    // No also for Escape and for the window being closed.
    Answer Ask(HWND owner);

protected:
    BOOL OnInit() override;
    bool OnCommand(int code, int id, HWND control) override;
    void OnOK() override { End(IDYES); }
    void OnCancel() override { End(IDNO); }
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;

private:
    std::string m_path;
    POINT m_iconAt = {0, 0};
    CColorMapBlock m_colorMap;
};
