#include "utility_actions.h"

#include "ansi_argument.h"
#include "basCommon.h"
#include "basRegistry.h"
#include "history_view.h"
#include "kernel_handle.h"
#include "windows_file_failure.h"

#include <windows.h>

#include <cstring>

namespace {

const wchar_t kFontKey[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\GRE_Initialize";
const wchar_t kFontValue[] = L"Jpn98FixPitch";
const Long32 kFontSwitchOn = 1;

const wchar_t kVirtualStoreIni[] = L"lw_dbe32.ini";
const unsigned char kAllDrives = '1';
const size_t kNetDriveMessageLength = 1024;
const Long32 kGrantDone = 0;
const Long32 kTrueResult = 1;

const size_t kWholeDriveLength = 3;

bool IsAbsoluteDrivePath(const std::wstring& text)
{
    return text.size() >= 3 && text[1] == L':' && (text[2] == L'\\' || text[2] == L'/');
}

// The path as Windows reads it; empty when it has none of MAX_PATH
// characters or less.
std::wstring FullPathOf(const std::wstring& text)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(text.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? full : L"";
}

} // namespace

bool ApplicationFoldersFound()
{
    return RunCheckVeskaFolder() != 0;
}

std::wstring GrantApplicationFolders()
{
    int file = 0;
    long failure = kFileUsable;
    if (!ReadUnreadableIniStatus(RunSetVeskaFolder(), file, failure))
        return L"";
    return GetWindowsDir() + L"\\" + FromAnsi(kApplicationIniFiles[file],
                                                std::strlen(kApplicationIniFiles[file])) +
           L" を読めないため、そのフォルダは設定していません。" + FileFailureText(failure);
}

bool ReadHistory(std::wstring& text)
{
    std::string log;
    HANDLE file = nullptr;
    if (OpenLogForReading(file) != kLogOpened)
        return false;
    const KernelHandle held(file);
    if (!ReadWholeFile(file, log))
        return false;
    text = BuildHistoryText(log);
    return true;
}

bool NamesWholeDrive(const std::wstring& text)
{
    if (text.size() == kWholeDriveLength)
        return true;
    if (!IsAbsoluteDrivePath(text))
        return false;
    const std::wstring full = FullPathOf(text);
    return full.size() == kWholeDriveLength && full[1] == L':' && full[2] == L'\\';
}

bool NamesFolderExactly(const std::wstring& text)
{
    const std::wstring full = FullPathOf(text);
    return !full.empty() && full == text;
}

FolderGrantStatus CheckFolderToGrant(const std::wstring& folder)
{
    if (NamesWholeDrive(folder))
        return kFolderIsDrive;
    // The grant and the history must name one folder: a name that Windows
    // reads as another (C:\data., C:\a\..\b), or that crosses to the
    // library's ANSI as another, is refused.
    if (!NamesFolderExactly(folder) || !HasExactAnsiForm(folder))
        return kFolderNotGranted;
    return kFolderGranted;
}

FolderGrantStatus RecordFolderGrant(const std::wstring& folder, Long32 grantStatus)
{
    if (grantStatus != kGrantDone)
        return kFolderNotGranted;
    // The grant is done either way; the window says so, the command line
    // reports the missing record as the failure it is.
    return WriteAddedFolderRecord(folder) != 0 ? kFolderGranted : kFolderNotRecorded;
}

bool MayChangeFontSwitch()
{
    return RegKeyExists(kFontKey) == kRegDone;
}

bool ReadFontSwitch(Long32& value)
{
    return RegGetDword(kFontKey, kFontValue, value) == kRegDone;
}

bool SetFontSwitch(bool on)
{
    if (on)
        return RegSetDword(kFontKey, kFontValue, kFontSwitchOn) == kRegDone;
    // A switch that was not there is as good as removed.
    RegDeleteEntry(kFontKey, kFontValue);
    return true;
}

void RestartNow()
{
    RestartWindows(kReboot);
}

bool RepairForElevation(std::wstring& message)
{
    std::wstring iniFile = kVirtualStoreIni;
    RunDelAppDataFile(iniFile);
    unsigned char selector = kAllDrives;
    std::wstring buffer(kNetDriveMessageLength, L'\0');
    if (RunChkNetDrv(selector, buffer) != kTrueResult)
        return false;
    message = TrimAtNul(buffer);
    return true;
}
