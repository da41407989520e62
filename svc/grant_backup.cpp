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
    CloseHandle(waiting.object);
    api_.destroyPrivateObjectSecurity(&waiting.computed);
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
        if (broken_ || !api_.setObjectSecurity(waiting.object, DACL_SECURITY_INFORMATION,
                                               waiting.computed))
            ++unwritten_;
        Drop(waiting);
    }
    waitingCount_ = 0;
    return !broken_;
}

void GrantBackup::WriteLater(HANDLE object, PSECURITY_DESCRIPTOR computed)
{
    waiting_[waitingCount_++] = {object, computed};
    if (waitingCount_ == kBatch)
        Flush();
}
