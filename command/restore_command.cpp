// /restore: lists the backups that grants kept, and puts one back.
#include "commands.h"

#include "dacl_restore.h"
#include "exit_codes.h"
#include "number_text.h"
#include "reasons.h"

#include <windows.h>

namespace {

const wchar_t kNoBackups[] = L"アクセス権の控えはありません。";
const wchar_t kNoBackupOfFolder[] = L"このフォルダのアクセス権の控えはありません。";
const wchar_t kOnlyFromBackupFolder[] =
    L"Windows フォルダの VK_DACL にある控えだけを復元します。";
const wchar_t kNotRead[] = L"控えを読めません。";
const wchar_t kFolderOther[] =
    L"フォルダが控えを作ったときと別のもの（置き換えられたフォルダ、リンク）のため、何も変更していません。";
const wchar_t kBackupFolder[] = L"\\VK_DACL\\";

// "2025-05-01 10:20:30.123 UTC" as local time, to the second; as written
// when it cannot be read.
std::wstring LocalTimeOf(const std::wstring& utc)
{
    SYSTEMTIME time = {};
    if (utc.size() < 23)
        return utc;
    const struct {
        size_t at;
        size_t digits;
        WORD SYSTEMTIME::*field;
    } kFields[] = {{0, 4, &SYSTEMTIME::wYear},    {5, 2, &SYSTEMTIME::wMonth},
                   {8, 2, &SYSTEMTIME::wDay},     {11, 2, &SYSTEMTIME::wHour},
                   {14, 2, &SYSTEMTIME::wMinute}, {17, 2, &SYSTEMTIME::wSecond}};
    for (const auto& field : kFields) {
        WORD value = 0;
        for (size_t i = 0; i < field.digits; ++i)
            value = static_cast<WORD>(value * 10 + (utc[field.at + i] - L'0'));
        time.*field.field = value;
    }
    FILETIME universal;
    FILETIME local;
    SYSTEMTIME shown;
    if (!SystemTimeToFileTime(&time, &universal) || !FileTimeToLocalFileTime(&universal, &local) ||
        !FileTimeToSystemTime(&local, &shown))
        return utc;
    const auto two = [](WORD value) { return std::wstring(1, L'0' + value / 10) + wchar_t(L'0' + value % 10); };
    return DecimalText(shown.wYear) + L"-" + two(shown.wMonth) + L"-" + two(shown.wDay) + L" " +
           two(shown.wHour) + L":" + two(shown.wMinute) + L":" + two(shown.wSecond);
}

// "C:\\DATA\\" names the folder that "C:\\DATA" does; "C:\\" stays a root.
std::wstring WithoutTrailingBackslash(std::wstring folder)
{
    if (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

class PrintedList : public BackupVisitor {
public:
    explicit PrintedList(ConsoleOutput& out) : out_(out) {}
    void Backup(const BackupSummary& backup) override
    {
        out_.Report(Outcome::Ok, backup.name,
                    LocalTimeOf(backup.time) + L"\t" + backup.folder + L"\t" +
                        DecimalText(static_cast<long>(backup.objects)) + L" 個");
        ++count;
    }
    long count = 0;

private:
    ConsoleOutput& out_;
};

class NewestOfFolder : public BackupVisitor {
public:
    void Backup(const BackupSummary& backup) override
    {
        if (name.empty())
            name = backup.name;
    }
    std::wstring name;
};

// The name of a backup given by its name or its path in the backup folder;
// empty for a file anywhere else.
std::wstring BackupNameOf(const std::wstring& file)
{
    const size_t slash = file.rfind(L'\\');
    if (slash == std::wstring::npos)
        return file;
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return L"";
    const std::wstring folder = std::wstring(windows) + kBackupFolder;
    return slash + 1 == folder.size() &&
                   lstrcmpiW(file.substr(0, slash + 1).c_str(), folder.c_str()) == 0
               ? file.substr(slash + 1)
               : L"";
}

// The line of a restore that ran: what it put back, made, left and could not do.
int ReportRestored(ConsoleOutput& out, const std::wstring& name, const RestoreCounts& counts)
{
    std::wstring text = L"復元しました: " + DecimalText(counts.restored) + L" 個。";
    if (counts.added > 0)
        text += L"後から作られたもの " + DecimalText(counts.added) +
                L" 個には、親フォルダから引き継ぐアクセス権を設定しました。";
    if (counts.left > 0)
        text += L"控えを作ったときと別のもの（置き換えられたもの、リンク）" +
                DecimalText(counts.left) + L" 個は、そのまま残しました。";
    if (counts.missing > 0)
        text += L"なくなったもの " + DecimalText(counts.missing) + L" 個。";
    if (counts.failed > 0)
        text += L"開けないか設定できないもの " + DecimalText(counts.failed) + L" 個。";
    const Outcome outcome = counts.failed > 0 ? Outcome::Error
                            : counts.left > 0 ? Outcome::Left
                                              : Outcome::Ok;
    out.Report(outcome, name, text);
    return outcome == Outcome::Error ? kExitFailedOrDue
           : outcome == Outcome::Left ? kExitWouldLeave
                                      : kExitDone;
}

} // namespace

int ListBackupsCommand(ConsoleOutput& out)
{
    PrintedList list(out);
    const LONG status = ListBackups(SystemLoader(), nullptr, list);
    if (status == kGrantReadFailed || (status == kGrantDone && list.count == 0)) {
        out.Report(Outcome::Skip, L"-", kNoBackups);
        return kExitDone;
    }
    if (status != kGrantDone) {
        out.Report(Outcome::Error, L"-", ReasonOf(status));
        return kExitFailedOrDue;
    }
    return kExitDone;
}

int RestoreBackupCommand(ConsoleOutput& out, const std::wstring& file)
{
    const std::wstring name = BackupNameOf(file);
    if (name.empty()) {
        out.Report(Outcome::Error, file, kOnlyFromBackupFolder);
        return kExitFailedOrDue;
    }
    RestoreCounts counts;
    const LONG status = RestoreBackup(SystemLoader(), name.c_str(), counts);
    switch (status) {
    case kGrantDone:
        return ReportRestored(out, file, counts);
    case kGrantLinkRefused:
        out.Report(Outcome::Left, file, kFolderOther);
        return kExitWouldLeave;
    case kGrantReadFailed:
        out.Report(Outcome::Error, file, kNotRead);
        return kExitFailedOrDue;
    default:
        out.Report(Outcome::Error, file, ReasonOf(status));
        return kExitFailedOrDue;
    }
}

int RestoreNewestCommand(ConsoleOutput& out, const std::wstring& folder)
{
    NewestOfFolder newest;
    const std::wstring named = WithoutTrailingBackslash(folder);
    const LONG status = ListBackups(SystemLoader(), named.c_str(), newest);
    if (status != kGrantDone && status != kGrantReadFailed) {
        out.Report(Outcome::Error, folder, ReasonOf(status));
        return kExitFailedOrDue;
    }
    if (newest.name.empty()) {
        out.Report(Outcome::Error, folder, kNoBackupOfFolder);
        return kExitFailedOrDue;
    }
    return RestoreBackupCommand(out, newest.name);
}
