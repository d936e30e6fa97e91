#include "browser/CopyToDlg.h"

#include <vector>

#include "browser/resource.h"
#include "shell/BoxListing.h"

CCopyToDlg::CCopyToDlg() : CDialog(IDD_BROWSER_COPY_TO) {}

BOOL CCopyToDlg::OnInit()
{
    // The scratch list stays with the dialog and goes with it.
    EnumerateBoxes(m_hwnd, Item(IDC_COPY_BOXES));
    return TRUE;
}

void CCopyToDlg::OnOK()
{
    HWND list = Item(IDC_COPY_BOXES);
    const LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    Boxes.clear();
    if (count > 0) {
        std::vector<int> selected(static_cast<size_t>(count));
        const LRESULT got =
            SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(selected.data()));
        for (LRESULT i = 0; i < got; ++i)
            Boxes.push_back(ListBoxText(list, selected[static_cast<size_t>(i)]));
    }
    End(IDOK);
}
