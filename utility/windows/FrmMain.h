// The main window: its start-up gate, the fixed-pitch font fix, the grant on
// the applications' folders, the history view and the way to the folder
// dialog.
#pragma once

#include "form_window.h"

class FrmMain : public FormWindow {
public:
    explicit FrmMain(HINSTANCE instance);

    // Runs the program: the gate, then the window until it is closed.
    // Returns the process exit code.
    int Run();

private:
    bool Form_Initialize();
    bool Form_Load();
    void OnCommand(int id, int notification) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    void OnSysColorChange();

    void CmdOK_FONT_Click();
    void CmdVESKA_Click();
    void CmdView_Click();
    void cmdAdd_Click();
    void chkFont_Click();

    void AskForRestart();
    bool Refuse(const wchar_t* text, UINT style);

    static const CommandSpec<FrmMain> kCommands[];
};
