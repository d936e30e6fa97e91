#include "browser/NameDlg.h"

#include "boxconfig/SuiteNames.h"
#include "browser/Listing.h"
#include "browser/resource.h"
#include "win/MsgBox.h"

CNameDlg::CNameDlg(unsigned templateId, std::string name, std::string refusal)
    : CDialog(templateId),
      Name(std::move(name)),
      m_refusal(std::move(refusal))
{
}

BOOL CNameDlg::OnInit()
{
    // A listing record keeps 255 characters of a name.
    SendDlgItemMessageA(m_hwnd, IDC_NAME_EDIT, EM_LIMITTEXT, sizeof(ListingRecord::name) - 1, 0);
    SetItemText(IDC_NAME_EDIT, Name);
    SendDlgItemMessageA(m_hwnd, IDC_NAME_EDIT, EM_SETSEL, 0, -1);
    return TRUE;
}

void CNameDlg::OnOK()
{
    const std::string name = GetItemText(IDC_NAME_EDIT);
    if (!IsUsableName(name)) {
        ShowFailure(m_hwnd, m_refusal, SuiteTitle);
        return;
    }
    Name = name;
    End(IDOK);
}
