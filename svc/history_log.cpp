#include "history_log.h"

#include "vksvc.h"

#include "ansi_text.h"

const char kHistorySection[] = "アクセス権追加フォルダ一覧";

namespace labels {
const GrantLabel kDatabase = {"データベース", "データベース：エラー"};
const GrantLabel kCommonData = {"VESKA共通情報", "VESKA共通情報エラー"};
const GrantLabel kLinkedExisting = {"ZELTRAN財務EX連動", "ZELTRAN財務EX連動エラー"};
const GrantLabel kLinkedCreated = {"VESKA財務EX連動", "VESKA財務EX連動エラー"};
} // namespace labels

void FormLogPath(char* logPath)
{
    char windowsDir[kPathBuffer] = {};
    GetWindowsDirectoryA(windowsDir, kPathBuffer);
    FormatInto(logPath, kPathBuffer, "%s\\VK_XP.log", windowsDir);
}

void RecordGrant(const char* logPath, const char* folder, const GrantLabel& label,
                 LONG status)
{
    if (status == kGrantNotFixedAclDrive)
        return;
    const char* text = status == kGrantDone ? label.success : label.failure;
    WritePrivateProfileStringA(kHistorySection, folder, text, logPath);
}
