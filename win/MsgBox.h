// Message boxes in the suite's three kinds: failures and refusals
// (exclamation, OK), questions (Yes/No), completions (information).
#pragma once

#include <windows.h>

#include <string>

inline void ShowFailure(HWND owner, const std::string& text, const std::string& caption)
{
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

// DefaultNo where a stray Enter must not say Yes.
enum QuestionDefault { DefaultYes = 0, DefaultNo = MB_DEFBUTTON2 };

inline bool AskYesNo(HWND owner, const std::string& text, const std::string& caption,
                     QuestionDefault byDefault = DefaultYes)
{
    return MessageBoxA(owner, text.c_str(), caption.c_str(),
                       MB_YESNO | MB_ICONQUESTION | static_cast<UINT>(byDefault)) == IDYES;
}

inline void ShowInfo(HWND owner, const std::string& text, const std::string& caption)
{
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}
