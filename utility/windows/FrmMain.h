// The main window: its start-up gate, the fixed-pitch font fix, the grant on
// the applications' folders, the history view and the way to the folder
// dialog.
#pragma once

#include "form_layout.h"

#include <windows.h>

#include <memory>

class FrmMain {
public:
    explicit FrmMain(HINSTANCE instance);
    ~FrmMain();
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;

    // Runs the program: the gate, then the window until it is closed.
    // Returns the process exit code.
    int Run();

private:
    template <typename Form>
    friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    bool Form_Initialize();
    bool Form_Load();
    void OnCreate();
    void OnCommand(int id, int code);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnSysColorChange();

    void CmdOK_FONT_Click();
    void CmdVESKA_Click();
    void CmdView_Click();
    void cmdAdd_Click();
    void CmdExit_Click();
    void chkFont_Click();

    bool CreateMainWindow();
    void AskForRestart();
    HWND DefaultButton() const;
    HWND Control(int id) const;
    void SetCaption(int id, const wchar_t* text);
    bool Refuse(const wchar_t* text, UINT style);

    HINSTANCE instance_;
    HWND window_ = nullptr;
    TwipsScale scale_;
    FormFonts fonts_;
};
