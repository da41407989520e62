// The program's one message loop, for a window that runs modally and for
// the wait on a worker thread alike: whoever waits keeps dispatching, so the
// windows repaint and answer and Windows never takes them for hung.
#pragma once

#include <windows.h>

class MessageLoop {
public:
    // Dispatches this thread's messages until Finished() (true) or a
    // WM_QUIT, which it takes off the queue (false, the quit's code in
    // `quitCode`): whoever runs the loop decides whether the loops further
    // out hear it too.
    bool Run(WPARAM& quitCode);

protected:
    ~MessageLoop() = default;
    virtual bool Finished() const = 0;
    // A handle whose signal ends the loop as well (null: none); the loop
    // wakes for it as for a message.
    virtual HANDLE EndSignal() const { return nullptr; }
    // Offered each message before it is dispatched; true when it took the
    // message itself (a key that a dialog box takes).
    virtual bool TakesMessage(MSG&) { return false; }
};
