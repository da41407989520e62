#include "commands.h"

#include "ansi_argument.h"
#include "application_folders.h"
#include "exit_codes.h"
#include "history_log_format.h"
#include "reasons.h"
#include "utility_actions.h"
#include "veska_folders.h"
#include "windows_file_failure.h"

#include <cstring>

namespace {

const wchar_t kNotCreated[] = L"作成できませんでした。";

std::wstring Wide(const char* ansi)
{
    return FromAnsi(ansi, std::strlen(ansi));
}

// Prints each folder as the library's grant did it in this run, from the
// status that its walk returned and whether its record was written: never
// from what the log says, which may be an earlier run's.
class GrantLines : public GrantWatcher {
public:
    explicit GrantLines(ConsoleOutput& out) : out_(out) {}

    void Granted(const char* folder, const GrantLabel& label, LONG status, long recorded) override
    {
        lines_++;
        if (status == kGrantNotFixedAclDrive) {
            out_.Report(Outcome::Skip, Wide(folder), ReasonOf(status));
            return;
        }
        const std::wstring text = Wide(status == kGrantDone ? label.success : label.failure);
        if (recorded != kFileUsable) {
            Fail(folder, text + L"：" + L"" VK_HISTORY_LOG_FILE L" に記録できません。" +
                             FileFailureText(recorded));
            return;
        }
        if (status != kGrantDone) {
            Fail(folder, text);
            return;
        }
        out_.Report(Outcome::Ok, Wide(folder), text);
    }

    void NotCreated(const char* folder, const GrantLabel&) override
    {
        lines_++;
        Fail(folder, kNotCreated);
    }

    void Unreadable(const char* iniPath, const GrantLabel& label, long failure) override
    {
        lines_++;
        Fail(iniPath, UnreadableText(Wide(label.success), failure));
    }

    int Lines() const { return lines_; }
    int ExitCode() const { return exitCode_; }

private:
    void Fail(const char* subject, const std::wstring& text)
    {
        out_.Report(Outcome::Error, Wide(subject), text);
        exitCode_ = kExitFailedOrDue;
    }

    ConsoleOutput& out_;
    int lines_ = 0;
    int exitCode_ = kExitDone;
};

} // namespace

int GrantApplicationFoldersCommand(ConsoleOutput& out)
{
    // What the main window's 実行 does, with the library's own code.
    GrantLines lines(out);
    GrantVeskaFolders(SystemLoader(), &lines);
    if (lines.Lines() == 0)
        out.Report(Outcome::Skip, L"-", kNoApplicationFolders);
    return lines.ExitCode();
}

int GrantFolderCommand(ConsoleOutput& out, const std::wstring& folder)
{
    // What the folder dialog's 実行 does: a record when the grant succeeds.
    Long32 status = kGrantDone;
    switch (GrantFolder(folder, [](auto&& grant) { grant(); }, &status)) {
    case kFolderGranted:
        out.Report(Outcome::Ok, folder, L"" VK_HISTORY_ADDED_FOLDER);
        return kExitDone;
    case kFolderNotRecorded:
        out.Report(Outcome::Error, folder,
                   L"" VK_HISTORY_ADDED_FOLDER L"：" VK_HISTORY_LOG_FILE L" に記録できません。");
        return kExitFailedOrDue;
    case kFolderIsDrive:
        out.Report(Outcome::Error, folder, kWholeDriveRefused);
        return kExitFailedOrDue;
    default:
        out.Report(Outcome::Error, folder, status != kGrantDone ? ReasonOf(status) : kReadAsOtherRefused);
        return kExitFailedOrDue;
    }
}
