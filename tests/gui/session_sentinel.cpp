// A window that notes the end of the Windows session in a file:
//   session_sentinel FILE
// It prints "ready" once its window exists, then writes "query" when
// Windows asks whether the session may end and "end" when it ends.
#include <windows.h>

#include <cstdio>

namespace {

const wchar_t* g_file = nullptr;

void Note(const char* line)
{
    HANDLE file = CreateFileW(g_file, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        Note("query\n");
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            Note("end\n");
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    g_file = argv[1];
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"SessionSentinel";
    RegisterClassW(&windowClass);
    CreateWindowW(L"SessionSentinel", L"sentinel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                  100, nullptr, nullptr, windowClass.hInstance, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
