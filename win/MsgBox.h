// Message boxes in the suite's three kinds: failures and refusals
// (exclamation, OK), questions (Yes/No), completions (information).
#pragma once

#include <windows.h>

#include <string>

inline void ShowFailure(HWND owner, const std::string& text, const std::string& caption)
{
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

inline bool AskYesNo(HWND owner, const std::string& text, const std::string& caption, bool defaultNo = false)
{
    const UINT style = MB_YESNO | MB_ICONQUESTION | (defaultNo ? MB_DEFBUTTON2 : 0);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), style) == IDYES;
}

inline void ShowInfo(HWND owner, const std::string& text, const std::string& caption)
{
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}
