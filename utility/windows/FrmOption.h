// The folder dialog: the administrator picks one folder of a local fixed
// NTFS drive and gives the Users group full control on it.
#pragma once

#include "folder_list.h"
#include "form_layout.h"

#include <windows.h>

#include <string>

class FrmOption {
public:
    explicit FrmOption(HINSTANCE instance);
    ~FrmOption();
    FrmOption(const FrmOption&) = delete;
    FrmOption& operator=(const FrmOption&) = delete;

    // Loads the dialog afresh and shows it modally, owned by `owner` (the
    // main window), which takes no input until the dialog is closed.
    void ShowModal(HWND owner);

private:
    template <typename Form>
    friend LRESULT CALLBACK FormWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void Form_Load();
    void OnCreate();
    void OnCommand(int id, int code);
    void cmbDrive_Click();
    void Dir1_Change();
    void CmdOK_Click();
    void CmdClose_Click();

    bool CreateDialogWindow();
    void RunModalLoop();
    bool TranslateKey(const MSG& message);
    HWND DefaultButton() const;
    void Unload();
    HWND Control(int id) const;
    std::wstring Text(int id) const;

    HINSTANCE instance_;
    HWND owner_ = nullptr;
    HWND window_ = nullptr;
    TwipsScale scale_;
    FormFonts fonts_;
    FolderList dir1_;
};

// Whether `text` names a whole drive: any text of three characters, or an
// absolute path that comes out as a drive root once made a full path
// ("C:\.", "C:\\", "C:\Windows\..").
bool NamesWholeDrive(const std::wstring& text);

// Whether Windows reads `text` as exactly the path it says: its full path
// (GetFullPathNameW) is the text itself. A trailing dot or space, a "." or
// ".." part, "/" and doubled backslashes make it another, as does a path
// that is not absolute.
bool NamesFolderExactly(const std::wstring& text);
