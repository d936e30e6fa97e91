#include "engine/Upload.h"

#include <windows.h>
#include <commctrl.h>

#include "boxconfig/RegistryProfile.h"
#include "engine/EngineMessages.h"
#include "engine/ProgressDlg.h"
#include "engine/UploadSession.h"
#include "win/Handles.h"

int RunUpload(HINSTANCE instance, const std::string& boxName, const std::string& pathList)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    // Lives until the process ends: the worker may still hold it then.
    static UploadSession session;
    session.boxName = boxName;
    session.pathList = pathList;
    session.profile = &SuiteProfile();

    static CProgressDlg window(session);
    session.window = &window;
    if (!window.Create(nullptr, instance))
        return ExitFailed;
    session.client.EnableProgress([](uint64_t size, uint64_t sent) {
        session.window->ReportProgress(size, sent);
        return !session.cancelled;
    });

    DWORD threadId = 0;
    const CHandle worker(CreateThread(nullptr, 0, UploadWorker, &session, 0, &threadId));
    if (!worker)
        return ExitFailed;

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!window.Handle() || !IsDialogMessageA(window.Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
