#include "message_loop.h"

bool MessageLoop::Run(WPARAM& quitCode)
{
    HANDLE signal = EndSignal();
    const DWORD handles = signal != nullptr ? 1 : 0;
    for (;;) {
        // MsgWaitForMultipleObjects wakes only for messages that arrive
        // after the last look at the queue, so each wake-up empties it; what
        // is left when the loop ends is the next loop out's.
        MSG message;
        while (!Finished() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = message.wParam;
                return false;
            }
            if (TakesMessage(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (Finished())
            return true;
        if (MsgWaitForMultipleObjects(handles, &signal, FALSE, INFINITE, QS_ALLINPUT) ==
            WAIT_FAILED) {
            // Nothing more can be waited for. A signal's owner must still
            // see it given (a worker's job lives on its caller's stack); a
            // window's loop ends as the program would at a quit.
            if (signal != nullptr)
                WaitForSingleObject(signal, INFINITE);
            quitCode = 0;
            return signal != nullptr;
        }
    }
}
