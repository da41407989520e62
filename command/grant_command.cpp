#include "commands.h"

#include "application_folders.h"
#include "basCommon.h"
#include "exit_codes.h"
#include "history_log_format.h"
#include "reasons.h"
#include "utility_actions.h"

namespace {

const wchar_t kNotCreated[] = L"作成できませんでした。";
const DWORD kLabelBuffer = 256;

// The label that the history log holds for `folder`; empty when none.
std::wstring RecordOf(const std::wstring& folder)
{
    wchar_t label[kLabelBuffer] = {};
    GetPrivateProfileStringW(L"" VK_HISTORY_SECTION, folder.c_str(), L"", label, kLabelBuffer,
                             GetLogFilePath().c_str());
    return label;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One folder after the library's grant, as its record says; false when it
// failed.
bool ReportGranted(ConsoleOutput& out, const ApplicationFolder& folder)
{
    if (!IsOnFixedAclDrive(folder.ansiPath)) {
        out.Report(Outcome::Skip, folder.path, ReasonOf(kGrantNotFixedAclDrive));
        return true;
    }
    // A folder gone meanwhile is not granted; its record may be an old one.
    if (!Exists(folder.path)) {
        out.Report(Outcome::Error, folder.path,
                   folder.missing ? kNotCreated : ReasonOf(kGrantReadFailed));
        return false;
    }
    const std::wstring record = RecordOf(folder.path);
    const bool granted = record == folder.success;
    out.Report(granted ? Outcome::Ok : Outcome::Error, folder.path,
               record.empty() ? folder.failure : record);
    return granted;
}

} // namespace

int GrantApplicationFoldersCommand(ConsoleOutput& out)
{
    const std::vector<ApplicationFolder> folders = ListApplicationFolders();
    if (folders.empty()) {
        out.Report(Outcome::Skip, L"-", kNoApplicationFolders);
        return kExitDone;
    }
    // What the main window's 実行 does, through VKSVC.dll.
    GrantApplicationFolders();
    int exitCode = kExitDone;
    for (const ApplicationFolder& folder : folders)
        if (!ReportGranted(out, folder))
            exitCode = kExitFailedOrDue;
    return exitCode;
}

int GrantFolderCommand(ConsoleOutput& out, const std::wstring& folder)
{
    // What the folder dialog's 実行 does: a record when the grant succeeds.
    Long32 status = kGrantDone;
    switch (GrantFolder(folder, [](auto&& grant) { grant(); }, &status)) {
    case kFolderGranted:
        out.Report(Outcome::Ok, folder, L"" VK_HISTORY_ADDED_FOLDER);
        return kExitDone;
    case kFolderIsDrive:
        out.Report(Outcome::Error, folder, kWholeDriveRefused);
        return kExitFailedOrDue;
    default:
        out.Report(Outcome::Error, folder, status != kGrantDone ? ReasonOf(status) : kReadAsOtherRefused);
        return kExitFailedOrDue;
    }
}
