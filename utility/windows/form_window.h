// What the utility's two windows share: the window and its class, its
// scale and fonts, its controls made from its table, the dispatch of
// WM_CREATE, WM_COMMAND and WM_CLOSE, the messages that a busy window
// drops, and the modal message loop. A form adds its table, its handlers
// and what is its own.
#pragma once

#include "form_layout.h"
#include "message_loop.h"

#include <windows.h>

#include <cstddef>
#include <string>

// How a form looks: its window class, caption and styles, its client area
// in twips, its controls, and the button Enter presses when the focus is on
// no button (0: none).
struct FormSpec {
    const wchar_t* className;
    const wchar_t* caption;
    DWORD style;
    DWORD extendedStyle;
    int clientWidth;
    int clientHeight;
    const ControlSpec* controls;
    size_t controlCount;
    int defaultButton;
};

// One row of a form's command table: the handler that a notification of a
// control runs.
template <typename Form>
struct CommandSpec {
    int id;
    int notification;
    void (Form::*handler)();
};

class FormWindow {
public:
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

protected:
    FormWindow(HINSTANCE instance, const FormSpec& look);
    // The object may go before its window: the window then hears nothing
    // more from it, and is destroyed.
    ~FormWindow();

    // Creates the window and its controls. With an owner the window is
    // modal: the owner takes no input until it is closed.
    bool Create(HWND owner);
    // Shows the window and dispatches this thread's messages until it is
    // gone. A WM_QUIT closes it, and is posted again for the loop outside.
    void RunModal();
    // Closes the window: its owner is enabled first, so that Windows hands
    // the activation back to it and not to another program's window.
    void Close();

    HWND Control(int id) const;
    std::wstring Text(int id) const;
    void SetText(int id, const wchar_t* text);

    // After the controls are made.
    virtual void OnCreate() {}
    // Every WM_COMMAND: see RunCommand.
    virtual void OnCommand(int id, int notification) = 0;
    // Any other message; true when the form answered it in `result`.
    virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
    // A key before the window's controls see it; true when it was taken.
    // By default Enter and Esc as a dialog box takes them.
    virtual bool TranslateKey(const MSG& message);

    // Runs the handler that `commands` gives the notification, if any.
    template <typename Form, size_t N>
    static void RunCommand(Form& form, const CommandSpec<Form> (&commands)[N], int id,
                           int notification)
    {
        for (const CommandSpec<Form>& command : commands)
            if (command.id == id && command.notification == notification) {
                (form.*command.handler)();
                return;
            }
    }

    HWND DefaultButton() const;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    TwipsScale scale_;
    FormFonts fonts_;

private:
    // The message loop of a form: it lasts as long as the window, and
    // offers the form each key first.
    class Loop : public MessageLoop {
    public:
        explicit Loop(FormWindow& form) : form_(form) {}

    private:
        bool Finished() const override { return form_.window_ == nullptr; }
        bool TakesMessage(MSG& message) override;

        FormWindow& form_;
    };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    const FormSpec& spec_;
    HWND owner_ = nullptr;
};
