// The New Directory and Rename dialogs: one name, refused with a message
// (and the dialog kept open) when empty or unusable on the wire.
#pragma once

#include <string>

#include "win/Dialog.h"

class CNameDlg : public CDialog {
public:
    // templateId: IDD_BROWSER_NEW_DIRECTORY or IDD_BROWSER_RENAME.
    CNameDlg(unsigned templateId, std::string name, std::string refusal);

    std::string Name;

protected:
    BOOL OnInit() override;
    void OnOK() override;

private:
    std::string m_refusal;
};
