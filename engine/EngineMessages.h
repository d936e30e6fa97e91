// Messages from the upload worker to the progress window. All of them are
// sent, not posted: the worker waits until the window has handled them.
#pragma once

#include <windows.h>

// wParam: the file's size, lParam: the bytes sent so far (both scaled alike
// to fit 32 bits when the file is larger).
#define WM_UPLOAD_PROGRESS (WM_USER + 500)
// wParam, lParam: 0. The last path is done.
#define WM_UPLOAD_DONE (WM_USER + 501)
// wParam, lParam: 0. A failure was shown; end the program.
#define WM_UPLOAD_ABORT (WM_USER + 502)

// Exit codes of an engine run.
enum EngineExit : int {
    ExitComplete = 0,   // everything sent (or the manager was started)
    ExitFailed = 1,     // a failure, or a run with paths not sent
    ExitCancelled = 2,  // the user pressed Cancel
};

// Inside the window only: show what the worker recorded for display; sent by
// the worker before it shows a message box.
#define WM_PROGRESS_FLUSH (WM_USER + 510)
