#include "worker_call.h"

#include "kernel_handle.h"

#include <windows.h>

#include <exception>
#include <process.h>

namespace {

struct Job {
    void (*work)(void*);
    void* context;
    std::exception_ptr error;
};

unsigned __stdcall RunJob(void* argument)
{
    Job& job = *static_cast<Job*>(argument);
    try {
        job.work(job.context);
    } catch (...) {
        job.error = std::current_exception();
    }
    return 0;
}

// Dispatches every message that waits. MsgWaitForMultipleObjects wakes only
// for messages that arrive after the last look at the queue, so each
// wake-up empties it.
void DispatchWaiting(bool& quit, WPARAM& quitCode)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            quitCode = message.wParam;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void WaitDispatching(HANDLE thread)
{
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0 + 1) {
            DispatchWaiting(quit, quitCode);
            continue;
        }
        // The job lives on this stack: never leave before the worker ends.
        if (woke != WAIT_OBJECT_0)
            WaitForSingleObject(thread, INFINITE);
        break;
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
}

} // namespace

void CallOnWorker(void (*work)(void*), void* context)
{
    Job job = {work, context, nullptr};
    {
        // The worker calls the C runtime (strings, exceptions): _beginthreadex
        // gives it the runtime's per-thread state, CreateThread would not.
        KernelHandle thread(
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunJob, &job, 0, nullptr)));
        if (!thread.IsOpen())
            RunJob(&job); // no thread to be had: on this one, as a short call would
        else
            WaitDispatching(thread.Get());
    }
    if (job.error)
        std::rethrow_exception(job.error);
}
