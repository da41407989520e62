// Functions that Windows 2000 (SP4) exports, for the libraries the shipped
// binaries may import at load time. A binary that imports anything else
// would not load there. Before adding a name, check that Windows 2000 has
// it: XP-only functions (AddVectoredExceptionHandler, GetModuleHandleExW,
// EncodePointer...) and later ones must be bound at run time instead.
#include "pe_image.h"

#include <cstring>
#include <sstream>

namespace vktest {
namespace {

struct LibraryFunctions {
    const char* library;
    const char* functions; // separated by blanks
};

const LibraryFunctions kWindows2000[] = {
    {"KERNEL32.dll",
     "CloseHandle CompareStringA CompareStringW CreateDirectoryA CreateDirectoryW CreateEventA "
     "CreateEventW CreateFileA CreateFileW CreateMutexA CreateMutexW CreateSemaphoreA "
     "CreateSemaphoreW DeleteCriticalSection DeleteFileA DeleteFileW EnterCriticalSection "
     "ExitProcess FindClose FindFirstFileA FindFirstFileW FindNextFileA FindNextFileW "
     "FormatMessageA FormatMessageW FreeLibrary GetACP GetCPInfo GetCommandLineA GetCommandLineW "
     "GetConsoleMode GetConsoleOutputCP GetCurrentDirectoryA GetCurrentDirectoryW GetCurrentProcess GetCurrentProcessId "
     "GetCurrentThread GetCurrentThreadId GetDriveTypeA GetDriveTypeW GetEnvironmentVariableA "
     "GetEnvironmentVariableW GetFileAttributesA GetFileAttributesW GetFileSize GetFileSizeEx "
     "GetLastError GetLogicalDriveStringsA GetLogicalDriveStringsW GetLogicalDrives "
     "GetModuleFileNameA GetModuleFileNameW GetModuleHandleA GetModuleHandleW GetOEMCP "
     "GetPrivateProfileStringA GetPrivateProfileStringW GetProcAddress GetProcessHeap "
     "GetStartupInfoA GetStartupInfoW GetStdHandle GetSystemDirectoryA GetSystemDirectoryW "
     "GetSystemTimeAsFileTime GetTickCount GetVersionExA GetVersionExW GetVolumeInformationA "
     "GetVolumeInformationW GetWindowsDirectoryA GetWindowsDirectoryW GlobalAlloc GlobalFree "
     "GlobalLock GlobalUnlock HeapAlloc HeapFree HeapReAlloc HeapSize InitializeCriticalSection "
     "InterlockedCompareExchange InterlockedDecrement InterlockedExchange InterlockedIncrement "
     "IsDBCSLeadByte IsDBCSLeadByteEx LeaveCriticalSection LoadLibraryA LoadLibraryW LocalAlloc "
     "LocalFree MulDiv MultiByteToWideChar OutputDebugStringA QueryPerformanceCounter "
     "QueryPerformanceFrequency RaiseException ReadFile ReleaseMutex ReleaseSemaphore RtlUnwind "
     "SetErrorMode SetLastError SetUnhandledExceptionFilter Sleep TerminateProcess TlsAlloc "
     "TlsFree TlsGetValue TlsSetValue UnhandledExceptionFilter VirtualAlloc VirtualFree "
     "VirtualProtect VirtualQuery WaitForSingleObject WideCharToMultiByte WriteConsoleW WriteFile "
     "WritePrivateProfileStringA WritePrivateProfileStringW lstrcmpiA lstrcmpiW lstrlenA "
     "lstrlenW GetFullPathNameW GetFullPathNameA GetFileInformationByHandle GetSystemTime "
     "SystemTimeToFileTime FileTimeToLocalFileTime FileTimeToSystemTime GetTempPathA LockFileEx "
     "UnlockFileEx RemoveDirectoryA SetEndOfFile SetFilePointer lstrcpynA"},
    {"USER32.dll",
     "AdjustWindowRectEx BeginPaint CallWindowProcW CharNextA CharUpperW CheckDlgButton "
     "ClientToScreen CreateIconIndirect CreateWindowExA CreateWindowExW DefWindowProcA "
     "DefWindowProcW DestroyIcon DestroyWindow DialogBoxIndirectParamW DialogBoxParamW "
     "DispatchMessageW DrawIcon DrawIconEx DrawTextW EnableWindow EndDialog EndPaint "
     "EnumChildWindows EnumWindows ExitWindowsEx FillRect FindWindowExW FindWindowW GetClassNameW "
     "GetClientRect GetCursorPos GetDC GetDesktopWindow GetDlgCtrlID GetDlgItem GetDlgItemTextW "
     "GetFocus GetIconInfo GetKeyState GetMessageW GetParent GetSysColor GetSysColorBrush "
     "GetSystemMetrics GetWindow GetWindowLongW GetWindowRect GetWindowTextLengthW GetWindowTextW "
     "GetWindowThreadProcessId InvalidateRect IsChild IsDialogMessageW IsDlgButtonChecked "
     "IsWindow IsWindowEnabled IsWindowVisible KillTimer LoadCursorW LoadIconW LoadImageW "
     "MapWindowPoints MessageBeep MessageBoxA MessageBoxW MoveWindow PeekMessageW PostMessageW "
     "PostQuitMessage RegisterClassExW RegisterClassW ReleaseDC ScreenToClient "
     "SendDlgItemMessageW SendMessageTimeoutW SendMessageW SetClassLongW SetCursor "
     "SetDlgItemTextW SetFocus SetForegroundWindow SetTimer SetWindowLongW SetWindowPos "
     "SetWindowTextW ShowWindow SystemParametersInfoW TranslateMessage UnregisterClassW "
     "UpdateWindow wsprintfA wsprintfW DrawFocusRect GetAncestor GetPropW SetPropW RemovePropW SetActiveWindow "
     "GetActiveWindow MonitorFromWindow GetMonitorInfoW RedrawWindow MsgWaitForMultipleObjects "
     "GetSystemMenu EnableMenuItem"},
    {"GDI32.dll",
     "BitBlt CreateBitmap CreateCompatibleBitmap CreateCompatibleDC CreateDIBSection "
     "CreateFontIndirectW CreateFontW CreateSolidBrush DeleteDC DeleteObject GetDeviceCaps "
     "GetObjectW GetPixel GetStockObject GetTextExtentPoint32W GetTextMetricsW SelectObject "
     "SetBkColor SetBkMode SetTextColor TextOutW CreatePen Polygon Rectangle"},
    {"COMCTL32.dll",
     "ImageList_Add ImageList_AddMasked ImageList_Create ImageList_Destroy ImageList_Draw "
     "ImageList_ReplaceIcon InitCommonControls InitCommonControlsEx ImageList_GetIconSize"},
    {"SHELL32.dll", "ExtractIconW SHGetFileInfoW SHGetSpecialFolderPathA"},
    {"MPR.DLL", "WNetAddConnection2A WNetGetConnectionA"},
    {"ole32.dll", "CoInitialize CoUninitialize"},
    // Windows 2000's msvcrt.dll (6.1) is the run-time library of Visual C++
    // 6.0: the routines named here are those that Microsoft's "Run-Time
    // Library Reference" for Visual C++ 6.0 documents with MSVCRT.LIB, the
    // import library for MSVCRT.DLL. The start-up entries (__getmainargs,
    // _initterm...) are not documented there: they are what the start-up
    // code of that compiler's programs imports. __iob_func and __lconv_init
    // are left out: the reference has neither, no documentation shows that
    // Windows 2000 exports them, and none of our binaries imports them.
    {"msvcrt.dll",
     "__dllonexit __getmainargs __initenv __mb_cur_max __p__acmdln "
     "__p__commode "
     "__p__environ __p__fmode __p__wcmdln __set_app_type __setusermatherr __wgetmainargs _access "
     "_amsg_exit _beginthreadex _cexit _errno _exit _fmode _fpreset _initterm _iob _lock _onexit "
     "_snprintf _snwprintf _strdup _stricmp _unlock _vsnprintf _vsnwprintf _wcsicmp _wcsnicmp "
     "abort atexit atoi calloc exit fflush fprintf fputc fputs free fwrite getc isalpha isdigit "
     "islower isspace isupper iswspace isxdigit localeconv malloc memchr memcmp memcpy memmove "
     "memset printf puts qsort realloc setlocale signal sprintf sscanf strcat strchr strcmp "
     "strcpy strerror strlen strncmp strncpy strrchr strstr strtol strtoul swprintf tolower "
     "toupper towlower towupper ungetc vfprintf wcscat wcschr wcscmp wcscpy wcslen wcsncmp "
     "wcsncpy wcsrchr wcsstr __winitenv _close _read fputwc fwprintf"},
};

} // namespace

bool ExistsOnWindows2000(const PeImport& import)
{
    if (import.function.empty())
        return false; // by ordinal: only our own library is imported so
    for (const LibraryFunctions& entry : kWindows2000) {
        if (lstrcmpiA(entry.library, import.library.c_str()) != 0)
            continue;
        std::istringstream names(entry.functions);
        std::string name;
        while (names >> name)
            if (name == import.function)
                return true;
    }
    return false;
}

} // namespace vktest
