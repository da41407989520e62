#include "folder_list.h"

#include "form_layout.h"
#include "run_time_error_box.h"
#include "window_dc.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace {

// At 96 DPI; scaled with the screen's.
const int kIndentPixels = 12;
const int kMarginPixels = 2;
const int kDesignDpi = 96;
const int kDeviceUnavailable = 68; // the classic "device unavailable" error

bool IsDriveRoot(const std::wstring& path)
{
    return path.size() == 3 && path[1] == L':' && path[2] == L'\\';
}

// "C:\a\b" -> "C:\", "C:\a", "C:\a\b"
std::vector<std::wstring> Chain(const std::wstring& path)
{
    std::vector<std::wstring> chain = {path.substr(0, 3)};
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        chain.push_back(path.substr(0, at));
    if (!IsDriveRoot(path))
        chain.push_back(path);
    return chain;
}

std::wstring NameOf(const std::wstring& path)
{
    return IsDriveRoot(path) ? path : path.substr(path.find_last_of(L'\\') + 1);
}

std::wstring Child(const std::wstring& folder, const std::wstring& name)
{
    return IsDriveRoot(folder) ? folder + name : folder + L"\\" + name;
}

bool LessIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_LESS_THAN;
}

// Windows' own protected folders (System Volume Information, $Recycle.Bin,
// the old junctions such as Documents and Settings) are hidden and system
// at once; Explorer does not show them, and they are never to be granted.
bool IsProtectedFolder(DWORD attributes)
{
    const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & kHiddenSystem) == kHiddenSystem;
}

// The names of the subfolders of `folder`, sorted; false when the folder
// cannot be read.
bool ReadSubfolders(const std::wstring& folder, std::vector<std::wstring>& names)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Child(folder, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L".." &&
            !IsProtectedFolder(found.dwFileAttributes))
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    return true;
}

using ShGetFileInfo = DWORD_PTR(WINAPI*)(LPCWSTR, DWORD, SHFILEINFOW*, UINT, UINT);

// The system image list's index of the small folder icon, and the list.
int FolderIconIndex(ShGetFileInfo getInfo, UINT extraFlags, HIMAGELIST& images)
{
    SHFILEINFOW info = {};
    const DWORD_PTR list =
        getInfo(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | extraFlags);
    if (list == 0)
        return -1;
    images = reinterpret_cast<HIMAGELIST>(list);
    return info.iIcon;
}

int TextHeight(HWND control)
{
    WindowDc dc(control, WindowDc::kWindowFont);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc.Get(), &metrics);
    return metrics.tmHeight;
}

} // namespace

std::wstring FolderListPath(const std::wstring& path)
{
    std::wstring result = path;
    if (result.size() == 2 && result[1] == L':')
        result += L'\\';
    while (result.size() > 3 && result.back() == L'\\')
        result.pop_back();
    return result;
}

FolderIcons::FolderIcons() : shell_(LoadLibraryW(L"shell32.dll"))
{
    if (shell_ == nullptr)
        return;
    const auto getInfo = reinterpret_cast<ShGetFileInfo>(
        reinterpret_cast<void*>(GetProcAddress(shell_, "SHGetFileInfoW")));
    if (getInfo == nullptr)
        return;
    closed_ = FolderIconIndex(getInfo, 0, images_);
    open_ = FolderIconIndex(getInfo, SHGFI_OPENICON, images_);
    int width = 0;
    int height = 0;
    if (images_ != nullptr && ImageList_GetIconSize(images_, &width, &height))
        size_ = {width, height};
}

FolderIcons::~FolderIcons()
{
    if (shell_ != nullptr)
        FreeLibrary(shell_);
}

void FolderIcons::Draw(HDC dc, int x, int y, bool open) const
{
    const int index = open ? open_ : closed_;
    if (images_ != nullptr && index >= 0)
        ImageList_Draw(images_, index, dc, x, y, ILD_TRANSPARENT);
}

void FolderList::Attach(HWND listBox, const TwipsScale& scale, ChangeHandler onChange,
                        void* context)
{
    list_ = listBox;
    onChange_ = onChange;
    context_ = context;
    const int dpi = scale.DpiX();
    indent_ = MulDiv(kIndentPixels, dpi, kDesignDpi);
    margin_ = MulDiv(kMarginPixels, dpi, kDesignDpi);
    const int itemHeight = std::max<int>(icons_.Size().cy, TextHeight(list_)) + margin_;
    SendMessageW(list_, LB_SETITEMHEIGHT, 0, itemHeight);
}

void FolderList::SetPath(const std::wstring& requested)
{
    const std::wstring path = FolderListPath(requested);
    if (!path_.empty() && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, path.c_str(), -1,
                                         path_.c_str(), -1) == CSTR_EQUAL)
        return;
    if (path.size() < 3 || path[1] != L':')
        throw RunTimeError(kDeviceUnavailable, L"デバイスが準備されていません。(" + path + L")");
    std::vector<std::wstring> subfolders;
    // A drive that has gone is an error; a folder that may not be listed
    // (access denied) still opens, showing no subfolders, so that its path
    // can be granted.
    if (!ReadSubfolders(path, subfolders) && IsDriveRoot(path))
        throw RunTimeError(kDeviceUnavailable, L"デバイスが準備されていません。(" + path + L")");

    std::vector<Entry> entries;
    const std::vector<std::wstring> chain = Chain(path);
    for (size_t depth = 0; depth < chain.size(); ++depth)
        entries.push_back({chain[depth], NameOf(chain[depth]), static_cast<int>(depth), true});
    for (const std::wstring& name : subfolders)
        entries.push_back({Child(path, name), name, static_cast<int>(chain.size()), false});
    Fill(path, std::move(entries));
    if (onChange_ != nullptr)
        onChange_(context_);
}

void FolderList::Fill(const std::wstring& path, std::vector<Entry> entries)
{
    path_ = path;
    entries_ = std::move(entries);
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    for (const Entry& entry : entries_)
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
    // The current folder is the last of the chain; it starts highlighted.
    size_t current = 0;
    while (current + 1 < entries_.size() && entries_[current + 1].open)
        ++current;
    SendMessageW(list_, LB_SETCURSEL, current, 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

void FolderList::OpenSelected()
{
    const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (selected >= 0 && static_cast<size_t>(selected) < entries_.size())
        SetPath(entries_[selected].path);
}

void FolderList::Draw(const DRAWITEMSTRUCT& item) const
{
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= entries_.size())
        return;
    const Entry& entry = entries_[item.itemID];
    // Disabled while a grant runs: grey, as a standard list draws itself.
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool selected = !disabled && (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));

    const int x = item.rcItem.left + margin_ + entry.depth * indent_;
    const int height = item.rcItem.bottom - item.rcItem.top;
    const SIZE icon = icons_.Size();
    icons_.Draw(dc, x, item.rcItem.top + (height - icon.cy) / 2, entry.open);

    RECT text = item.rcItem;
    text.left = x + icon.cx + margin_;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(dc, entry.name.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(dc, &item.rcItem);
}
