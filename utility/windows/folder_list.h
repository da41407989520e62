// Dir1's folder list: an owner-drawn list box that behaves like a classic
// directory list box. It shows the chain of folders from the drive root to
// the current folder, then the current folder's subfolders, indented, with
// the shell's folder icons. Opening a folder (double-click or Enter) makes
// it current; highlighting one does not. Paths read "C:\" for a root and have no
// trailing backslash below it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

class TwipsScale;

// The shell's small folder icons, closed and open, from the system image
// list; shell32 is loaded only while the list needs it.
class FolderIcons {
public:
    FolderIcons();
    ~FolderIcons();
    FolderIcons(const FolderIcons&) = delete;
    FolderIcons& operator=(const FolderIcons&) = delete;

    SIZE Size() const { return size_; }
    // Draws the icon with its top-left corner at (x, y); nothing when the
    // shell gave none.
    void Draw(HDC dc, int x, int y, bool open) const;

private:
    HMODULE shell_ = nullptr;
    HIMAGELIST images_ = nullptr; // the system's: never destroyed here
    int closed_ = -1;
    int open_ = -1;
    SIZE size_ = {0, 0};
};

class FolderList {
public:
    using ChangeHandler = void (*)(void* context);

    FolderList() = default;
    FolderList(const FolderList&) = delete;
    FolderList& operator=(const FolderList&) = delete;

    // Takes over the list box, whose font is set; indents follow the
    // screen's DPI. `onChange(context)` runs after every change of the path.
    void Attach(HWND listBox, const TwipsScale& scale, ChangeHandler onChange, void* context);

    const std::wstring& Path() const { return path_; }
    // Makes `path` current (no change when it is current already). Raises a
    // RunTimeError when the folder cannot be read (a drive that is gone).
    void SetPath(const std::wstring& path);
    // Opens the highlighted folder, as a double-click does.
    void OpenSelected();

    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    struct Entry {
        std::wstring path;
        std::wstring name;
        int depth;
        bool open; // a folder of the chain, the current one included
    };
    void Fill(const std::wstring& path, std::vector<Entry> entries);

    HWND list_ = nullptr;
    ChangeHandler onChange_ = nullptr;
    void* context_ = nullptr;
    FolderIcons icons_;
    int indent_ = 0; // pixels per level, at the screen's DPI
    int margin_ = 0;
    std::wstring path_;
    std::vector<Entry> entries_;
};

// A path as the folder list writes it: "C:\" for a root, no trailing
// backslash below.
std::wstring FolderListPath(const std::wstring& path);
