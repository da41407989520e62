#include "grant_backup.h"

#include "vksvc.h"

#include <cwchar>

GrantBackup::~GrantBackup()
{
    for (ULONG i = 0; i < waitingCount_; ++i)
        Drop(waiting_[i]);
    // Whatever became of the grant, the backup is whole up to here.
    if (file_.IsOpen()) {
        file_.Reset();
        folder_.Prune(namedFolder_, name_);
    }
}

void GrantBackup::Drop(Waiting& waiting)
{
    if (!waiting.owned)
        return;
    CloseHandle(waiting.object);
    api_.destroyPrivateObjectSecurity(&waiting.computed);
}

bool GrantBackup::HasFailed(ULONG write) const
{
    const ULONG byte = write / 8;
    return byte < failed_.Size() && (failed_.Data()[byte] & (1 << (write % 8))) != 0;
}

void GrantBackup::MarkFailed(ULONG write)
{
    const ULONG byte = write / 8;
    while (failed_.Size() <= byte) {
        const BYTE none = 0;
        if (!failed_.Append(&none, 1))
            return;
    }
    failed_.Data()[byte] |= static_cast<BYTE>(1 << (write % 8));
}

LONG GrantBackup::Start(LPCSTR folder)
{
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, folder, -1,
                                           namedFolder_, MAX_PATH);
    if (length <= 1)
        return kGrantBackupRefused;
    // "C:\\DATA\\" and "C:\\DATA" are one folder; "C:\\" stays a root.
    if (length > 4 && namedFolder_[length - 2] == L'\\')
        namedFolder_[length - 2] = L'\0';
    SYSTEMTIME now;
    const LONG status = folder_.Open(true);
    if (status != kGrantDone)
        return kGrantBackupRefused;
    if (!folder_.Create(namedFolder_, now, file_, name_) ||
        !AppendHeader(text_, namedFolder_, now))
        return kGrantBackupRefused;
    return kGrantDone;
}

bool GrantBackup::Keep(const WCHAR* path, ULONG length, const ObjectId& id,
                       PSECURITY_DESCRIPTOR current)
{
    return !broken_ && AppendObject(text_, api_, backupApi_, lastDacl_, path, length, id, current);
}

bool GrantBackup::Flush()
{
    if (text_.Size() > 0 && !broken_) {
        DWORD written = 0;
        IO_STATUS_BLOCK io = {};
        broken_ = !WriteFile(file_.Get(), text_.Data(), static_cast<DWORD>(text_.Size()), &written,
                             nullptr) ||
                  written != text_.Size() || !nt::Succeeded(backupApi_.flush(file_.Get(), &io));
        text_.Clear();
    }
    for (ULONG i = 0; i < waitingCount_; ++i) {
        Waiting& waiting = waiting_[i];
        if (broken_ || HasFailed(waiting.folder) ||
            !api_.setObjectSecurity(waiting.object, DACL_SECURITY_INFORMATION, waiting.computed)) {
            ++unwritten_;
            MarkFailed(firstWaiting_ + i);
        }
        Drop(waiting);
    }
    firstWaiting_ += waitingCount_;
    waitingCount_ = 0;
    return !broken_;
}

ULONG GrantBackup::WriteLater(HANDLE object, PSECURITY_DESCRIPTOR computed, ULONG folder,
                              bool owned)
{
    const ULONG write = firstWaiting_ + waitingCount_;
    waiting_[waitingCount_++] = {object, computed, folder, owned};
    if (waitingCount_ == kBatch)
        Flush();
    return write;
}

bool GrantBackup::HandOver(ULONG write)
{
    if (write < firstWaiting_ || write >= firstWaiting_ + waitingCount_)
        return false;
    waiting_[write - firstWaiting_].owned = true;
    return true;
}
