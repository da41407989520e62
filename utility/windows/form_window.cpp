#include "form_window.h"

#include "busy_window.h"
#include "dialog_keys.h"
#include "focus_memory.h"
#include "run_time_error_box.h"

namespace {

// The application icon, the arrow pointer and the 3-D face colour behind
// the controls.
void RegisterFormClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
}

} // namespace

FormWindow::FormWindow(HINSTANCE instance, const FormSpec& look)
    : instance_(instance), fonts_(scale_), spec_(look)
{
}

FormWindow::~FormWindow()
{
    if (window_ == nullptr)
        return;
    HWND window = window_;
    Detach();
    if (owner_ != nullptr)
        EnableWindow(owner_, TRUE);
    DestroyWindow(window);
}

bool FormWindow::Create(HWND owner)
{
    RegisterFormClass(instance_, spec_.className, Procedure);
    owner_ = owner;
    window_ = CreateWindowExW(spec_.extendedStyle, spec_.className, spec_.caption, spec_.style,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                              nullptr, instance_, this);
    if (window_ == nullptr)
        return false;
    if (owner_ != nullptr) {
        SaveFocus(owner_);
        EnableWindow(owner_, FALSE);
    }
    return true;
}

void FormWindow::RunModal()
{
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    WPARAM quitCode = 0;
    if (Loop(*this).Run(quitCode))
        return;
    // The program is ending: let the loops further out see it too.
    PostQuitMessage(static_cast<int>(quitCode));
    if (window_ != nullptr)
        Close();
}

void FormWindow::Close()
{
    if (owner_ != nullptr)
        EnableWindow(owner_, TRUE);
    DestroyWindow(window_);
}

HWND FormWindow::Control(int id) const
{
    return FindControl(window_, id);
}

std::wstring FormWindow::Text(int id) const
{
    HWND control = Control(id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(length + 1, L'\0');
    GetWindowTextW(control, &text[0], length + 1);
    text.resize(lstrlenW(text.c_str()));
    return text;
}

void FormWindow::SetText(int id, const wchar_t* text)
{
    SetWindowTextW(Control(id), text);
}

HWND FormWindow::DefaultButton() const
{
    return spec_.defaultButton != 0 ? Control(spec_.defaultButton) : nullptr;
}

bool FormWindow::TranslateKey(const MSG& message)
{
    return TranslateDialogKey(window_, message, DefaultButton());
}

bool FormWindow::Loop::TakesMessage(MSG& message)
{
    return form_.TranslateKey(message) || IsDialogMessageW(form_.window_, &message);
}

void FormWindow::Detach()
{
    ForgetFocus(window_);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    window_ = nullptr;
}

// Hands every message to the form object passed to CreateWindowExW. An
// error that a handler raises is reported and ends the program.
LRESULT CALLBACK FormWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* form = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    LRESULT dropped = 0;
    if (BusyWindow::Drops(message, wParam, dropped))
        return dropped;
    LRESULT result = 0;
    RunHandler(window, [&] { result = form->HandleMessage(window, message, wParam, lParam); });
    return result;
}

LRESULT FormWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CreateControls(window_, spec_.controls, spec_.controlCount, fonts_, scale_);
        SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.For(kFormFontSize)), FALSE);
        SizeClientArea(window_, spec_.clientWidth, spec_.clientHeight, scale_);
        OnCreate();
        return 0;
    case WM_COMMAND:
        FollowButtonFocus(window_, reinterpret_cast<HWND>(lParam), HIWORD(wParam), DefaultButton());
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_SETCURSOR:
        if (HCURSOR pointer = BusyWindow::Pointer()) {
            SetCursor(pointer);
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        KeepFocusAcrossActivation(window_, wParam);
        return 0;
    case WM_DESTROY:
        Detach();
        break;
    }
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(window, message, wParam, lParam);
}
