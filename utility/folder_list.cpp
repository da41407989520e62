#include "folder_list.h"

#include "run_time_error.h"

#include <algorithm>

namespace {

const int kIndentPixels = 12;
const int kImageWidth = 16;
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
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), LessIgnoringCase);
    return true;
}

// Owns one GDI object.
template <typename T>
class GdiObject {
public:
    explicit GdiObject(T object) : object_(object) {}
    ~GdiObject() { DeleteObject(object_); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    T Get() const { return object_; }

private:
    T object_;
};

// A small folder, open or closed, with its top-left corner at (x, y).
void DrawFolder(HDC dc, int x, int y, bool open)
{
    GdiObject<HBRUSH> fill(CreateSolidBrush(open ? RGB(255, 236, 139) : RGB(240, 200, 80)));
    GdiObject<HPEN> outline(CreatePen(PS_SOLID, 1, RGB(128, 96, 0)));
    HGDIOBJ oldBrush = SelectObject(dc, fill.Get());
    HGDIOBJ oldPen = SelectObject(dc, outline.Get());
    const POINT tab[] = {{x + 1, y + 4}, {x + 1, y + 2}, {x + 6, y + 2}, {x + 7, y + 4}};
    Polygon(dc, tab, 4);
    Rectangle(dc, x + 1, y + 4, x + 15, y + 13);
    if (open) {
        const POINT lid[] = {{x + 1, y + 13}, {x + 4, y + 7}, {x + 16, y + 7}, {x + 14, y + 13}};
        Polygon(dc, lid, 4);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
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

void FolderList::Attach(HWND listBox, std::function<void()> onChange)
{
    list_ = listBox;
    onChange_ = std::move(onChange);
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
    if (onChange_)
        onChange_();
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

void FolderList::Measure(MEASUREITEMSTRUCT& item) const
{
    item.itemHeight = std::max<UINT>(item.itemHeight, 16);
}

void FolderList::Draw(const DRAWITEMSTRUCT& item) const
{
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= entries_.size())
        return;
    const Entry& entry = entries_[item.itemID];
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));

    const int x = item.rcItem.left + 2 + entry.depth * kIndentPixels;
    const int height = item.rcItem.bottom - item.rcItem.top;
    DrawFolder(dc, x, item.rcItem.top + (height - 14) / 2, entry.open);

    RECT text = item.rcItem;
    text.left = x + kImageWidth + 3;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(dc, entry.name.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(dc, &item.rcItem);
}
