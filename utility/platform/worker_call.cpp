#include "worker_call.h"

#include "kernel_handle.h"
#include "message_loop.h"

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

// The message loop that lasts until the worker thread ends.
class WorkerWait : public MessageLoop {
public:
    explicit WorkerWait(HANDLE thread) : thread_(thread) {}

private:
    bool Finished() const override { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }
    HANDLE EndSignal() const override { return thread_; }

    HANDLE thread_;
};

void WaitDispatching(HANDLE thread)
{
    // The job lives on this stack: a quit that arrives meanwhile never ends
    // the wait, and is posted again once the worker has ended.
    WorkerWait wait(thread);
    bool quit = false;
    WPARAM quitCode = 0;
    while (!wait.Run(quitCode))
        quit = true;
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
