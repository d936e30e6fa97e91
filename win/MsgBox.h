// Message boxes in the suite's three kinds: failures and refusals
// (exclamation, OK), questions (Yes/No), completions (information).
#pragma once

#include <windows.h>

#include <string>

inline void ShowFailure(HWND owner, const std::string& text, const std::string& caption)
{
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

// The help contexts of questions with a Help button: the button sends the
// owner WM_HELP with it, and the owner opens the page about the question.
const DWORD HelpCertificateQuestion = 1;

enum class DefaultAnswer { Yes, No };

inline bool AskYesNo(HWND owner, const std::string& text, const std::string& caption, DWORD helpContext = 0,
                     DefaultAnswer byDefault = DefaultAnswer::Yes)
{
    MSGBOXPARAMSA params = {};
    params.cbSize = sizeof params;
    params.hwndOwner = owner;
    params.lpszText = text.c_str();
    params.lpszCaption = caption.c_str();
    params.dwStyle = MB_YESNO | MB_ICONQUESTION | (helpContext ? MB_HELP : 0) |
                     (byDefault == DefaultAnswer::No ? MB_DEFBUTTON2 : 0);
    params.dwContextHelpId = helpContext;
    return MessageBoxIndirectA(&params) == IDYES;
}

inline void ShowInfo(HWND owner, const std::string& text, const std::string& caption)
{
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}
