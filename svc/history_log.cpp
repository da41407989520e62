#include "history_log.h"

#include "vksvc.h"

#include "ansi_text.h"
#include "history_log_format.h"
#include "windows_files.h"

const char kHistorySection[] = VK_HISTORY_SECTION;

namespace labels {
const GrantLabel kDatabase = {"データベース", "データベース：エラー"};
const GrantLabel kCommonData = {"VESKA共通情報", "VESKA共通情報エラー"};
const GrantLabel kLinkedExisting = {"ZELTRAN財務EX連動", "ZELTRAN財務EX連動エラー"};
const GrantLabel kLinkedCreated = {"VESKA財務EX連動", "VESKA財務EX連動エラー"};
} // namespace labels

bool FormLogPath(char* logPath)
{
    char windowsDir[kPathBuffer] = {};
    GetWindowsDirectoryA(windowsDir, kPathBuffer);
    return FormatInto(logPath, kPathBuffer, "%s\\" VK_HISTORY_LOG_FILE, windowsDir);
}

long RecordGrant(WindowsFiles& files, const char* folder, const GrantLabel& label, LONG status)
{
    if (status == kGrantNotFixedAclDrive)
        return kFileUsable;
    const char* text = status == kGrantDone ? label.success : label.failure;
    return files.WriteValue(VK_HISTORY_LOG_FILE, kHistorySection, folder, text);
}
