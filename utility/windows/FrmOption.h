// The folder dialog: the administrator picks one folder of a local fixed
// NTFS drive and gives the Users group full control on it.
#pragma once

#include "folder_list.h"
#include "form_window.h"

class FrmOption : public FormWindow {
public:
    explicit FrmOption(HINSTANCE instance);

    // Loads the dialog afresh and shows it modally, owned by `owner` (the
    // main window), which takes no input until the dialog is closed.
    void ShowModal(HWND owner);

private:
    void Form_Load();
    void OnCreate() override;
    void OnCommand(int id, int notification) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool TranslateKey(const MSG& message) override;
    void cmbDrive_Click();
    void Dir1_DblClick();
    void Dir1_Change();
    void CmdOK_Click();

    static const CommandSpec<FrmOption> kCommands[];

    FolderList dir1_;
};
