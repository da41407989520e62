// Dir1's folder list: an owner-drawn list box that behaves like a classic
// directory list box. It shows the chain of folders from the drive root to
// the current folder, then the current folder's subfolders, indented, with
// folder images. Opening a folder (double-click or Enter) makes it current;
// highlighting one does not. Paths read "C:\" for a root and have no
// trailing backslash below it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class FolderList {
public:
    FolderList() = default;
    FolderList(const FolderList&) = delete;
    FolderList& operator=(const FolderList&) = delete;

    // Takes over the list box; `onChange` runs after every change of the path.
    void Attach(HWND listBox, std::function<void()> onChange);

    const std::wstring& Path() const { return path_; }
    // Makes `path` current (no change when it is current already). Raises a
    // RunTimeError when the folder cannot be read (a drive that is gone).
    void SetPath(const std::wstring& path);
    // Opens the highlighted folder, as a double-click does.
    void OpenSelected();

    void Measure(MEASUREITEMSTRUCT& item) const;
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
    std::function<void()> onChange_;
    std::wstring path_;
    std::vector<Entry> entries_;
};

// A path as the folder list writes it: "C:\" for a root, no trailing
// backslash below.
std::wstring FolderListPath(const std::wstring& path);
