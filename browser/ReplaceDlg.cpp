#include "browser/ReplaceDlg.h"

#include "browser/resource.h"

CReplaceDlg::CReplaceDlg(std::string path) : CDialog(IDD_BROWSER_REPLACE), m_path(std::move(path)) {}

CReplaceDlg::Answer CReplaceDlg::Ask(HWND owner)
{
    const INT_PTR result = DoModal(owner);
    if (result == IDYES)
        return Yes;
    if (result == IDC_REPLACE_YES_ALL)
        return YesToAll;
    return No;
}

BOOL CReplaceDlg::OnInit()
{
    SetItemText(IDC_REPLACE_TEXT, m_path + "\nAlready exists.");
    RECT place;
    GetWindowRect(Item(IDC_REPLACE_ICON), &place);
    m_iconAt = {place.left, place.top};
    ScreenToClient(m_hwnd, &m_iconAt);
    m_colorMap.CreateButtonFace();
    // Shown from a worker thread: make sure the user sees the question.
    SetForegroundWindow(m_hwnd);
    return TRUE;
}

bool CReplaceDlg::OnCommand(int code, int id, HWND control)
{
    switch (id) {
    case IDYES:
    case IDNO:
    case IDC_REPLACE_YES_ALL:
        End(id);
        return true;
    default:
        return CDialog::OnCommand(code, id, control);
    }
}

bool CReplaceDlg::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result)
{
    if (msg != WM_PAINT)
        return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hwnd, &paint);
    CAnimator::DrawBitmap(dc, m_iconAt.x, m_iconAt.y, IDB_REPLACE, m_colorMap.Pairs(), m_colorMap.Count());
    EndPaint(m_hwnd, &paint);
    result = 0;
    return true;
}
