#include "commands.h"

#include "ansi_argument.h"
#include "application_folders.h"
#include "exit_codes.h"
#include "reasons.h"
#include "utility_actions.h"
#include "windows_file_failure.h"

namespace {

const wchar_t kWouldCreate[] = L"存在しません。/grant で作成して設定します。";
const wchar_t kPerUserRepairs[] =
    L"VirtualStore のコピーの削除とネットワーク ドライブの再接続は、ユーザーごとの修復のため"
    L"調べません。そのユーザーで vsrepair.exe または VK_UTL.exe を実行してください。";

int ExitCodeOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Left:
    case Outcome::Error:
        return kExitWouldLeave;
    case Outcome::Due:
        return kExitFailedOrDue;
    default:
        return kExitDone;
    }
}

// The exit code that says more: 6 over 1 over 0.
int Worse(int one, int other)
{
    return one == kExitWouldLeave || other == kExitWouldLeave ? kExitWouldLeave
           : one == kExitFailedOrDue || other == kExitFailedOrDue ? kExitFailedOrDue
                                                                   : kExitDone;
}

// Audits one folder and prints its line, the text after `label` when one is
// given. A folder off a fixed ACL drive is skipped by the applications'
// grant, but fails the grant of a folder that the administrator names.
Outcome CheckOne(ConsoleOutput& out, const std::string& ansiPath, const std::wstring& path,
                 const std::wstring& label, Outcome offFixedDrive)
{
    GrantAudit audit;
    const LONG status = AuditUsersAccess(SystemLoader(), ansiPath.c_str(), GENERIC_ALL, audit);
    Outcome outcome = OutcomeOf(audit);
    std::wstring text = DescribeAudit(audit);
    if (status != kGrantDone) {
        outcome = status == kGrantNotFixedAclDrive ? offFixedDrive
                  : status == kGrantLinkRefused    ? Outcome::Left
                                                   : Outcome::Error;
        text = ReasonOf(status);
    }
    out.Report(outcome, path, label.empty() ? text : label + L"：" + text);
    return outcome;
}

} // namespace

int CheckApplicationFoldersCommand(ConsoleOutput& out)
{
    const std::vector<ApplicationFolder> folders = ListApplicationFolders();
    if (folders.empty())
        out.Report(Outcome::Skip, L"-", kNoApplicationFolders);
    int exitCode = kExitDone;
    for (const ApplicationFolder& folder : folders) {
        // An ini file that could not be read hides what it names: the
        // answer cannot be "nothing to do".
        if (folder.unreadable != kFileUsable) {
            out.Report(Outcome::Error, folder.path, UnreadableText(folder.success, folder.unreadable));
            exitCode = Worse(exitCode, kExitFailedOrDue);
            continue;
        }
        Outcome outcome = Outcome::Due;
        if (folder.missing)
            out.Report(outcome, folder.path, folder.success + L"：" + kWouldCreate);
        else
            outcome = CheckOne(out, folder.ansiPath, folder.path, folder.success, Outcome::Skip);
        exitCode = Worse(exitCode, ExitCodeOf(outcome));
    }
    out.Report(Outcome::Skip, L"-", kPerUserRepairs);
    return exitCode;
}

int CheckFolderCommand(ConsoleOutput& out, const std::wstring& folder)
{
    // What the folder dialog refuses before any grant.
    switch (CheckFolderToGrant(folder)) {
    case kFolderIsDrive:
        out.Report(Outcome::Error, folder, kWholeDriveRefused);
        return kExitWouldLeave;
    case kFolderNotGranted:
        out.Report(Outcome::Error, folder, kReadAsOtherRefused);
        return kExitWouldLeave;
    default:
        break;
    }
    return ExitCodeOf(CheckOne(out, ToAnsi(folder), folder, L"", Outcome::Error));
}
