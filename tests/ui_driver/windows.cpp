#include "ui_driver.h"

#include <cstdlib>

namespace vkui {
namespace {

const DWORD kPollInterval = 50;
const UINT kTextTimeout = 2000 * WaitScale();
const int kClassNameLength = 256;

struct Search {
    DWORD processId;
    const WindowQuery* query;
    std::vector<HWND> found;
};

bool Matches(HWND window, const WindowQuery& query)
{
    if (!query.className.empty() && ClassName(window) != query.className)
        return false;
    return query.title.empty() || WindowText(window) == query.title;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context)
{
    Search& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && IsWindowVisible(window) && Matches(window, *search.query))
        search.found.push_back(window);
    return TRUE;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControlId(HWND child, LPARAM context)
{
    ControlSearch& search = *reinterpret_cast<ControlSearch*>(context);
    if (GetDlgCtrlID(child) != search.id)
        return TRUE;
    search.found = child;
    return FALSE;
}

} // namespace

HWND FindControl(HWND window, int id)
{
    ControlSearch search = {id, nullptr};
    EnumChildWindows(window, MatchControlId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> FindWindows(DWORD processId, const WindowQuery& query)
{
    Search search = {processId, &query, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const Program& program, const WindowQuery& query, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        // Look once more after the end: the window may have come just before.
        const bool ended = program.HasExited();
        const std::vector<HWND> windows = FindWindows(program.Id(), query);
        if (!windows.empty())
            return windows.front();
        if (ended || GetTickCount() - start >= milliseconds)
            return nullptr;
        Sleep(kPollInterval);
    }
}

std::wstring ClassName(HWND window)
{
    wchar_t name[kClassNameLength] = {};
    GetClassNameW(window, name, kClassNameLength);
    return name;
}

// SMTO_NORMAL, not SMTO_ABORTIFHUNG: a window whose thread has not taken a
// message for five seconds counts as hung, and under emulation a utility
// that has only just shown its window can be that slow.
std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kTextTimeout,
                             &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                             SMTO_NORMAL, kTextTimeout, &copied))
        return {};
    text.resize(copied);
    return text;
}

} // namespace vkui
