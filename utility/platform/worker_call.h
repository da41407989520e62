// A call that takes long, made on a thread of its own while the window
// thread goes on dispatching its messages: the windows repaint and answer,
// and Windows never takes them for hung.
#pragma once

// Runs `work(context)` on a worker thread and returns once it has returned,
// dispatching this thread's messages meanwhile. An exception that the work
// raises is raised again here, on the calling thread, where the handler's
// error report catches it; none ever leaves the worker. A WM_QUIT that
// arrives meanwhile is posted again afterwards. Whatever the dispatched
// messages reach must not start another call: see BusyWindow.
void CallOnWorker(void (*work)(void* context), void* context);

template <typename Work>
void CallOnWorker(Work& work)
{
    CallOnWorker([](void* context) { (*static_cast<Work*>(context))(); }, &work);
}
