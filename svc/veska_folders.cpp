// Discovery of the folders that the applications' ini files in the Windows
// directory name, plus the two fixed folders at the root of the system drive,
// and the grant of each one that exists.
#include "veska_folders.h"

#include "access_rights.h"
#include "ansi_text.h"
#include "history_log.h"
#include "vksvc.h"
#include "windows_files.h"

#include <cstring>

namespace {

struct ApplicationRow {
    const char* iniFile;
    GrantLabel label;
};

const ApplicationRow kApplications[] = {
    {"appRC02.ini", {"財務OrvikVasto", "財務OrvikVasto：エラー"}},
    {"QX_LEDG.ini", {"ZELTRAN財務", "ZELTRAN財務：エラー"}},
    {"appRB02.ini", {"財務OrvikNimb", "財務OrvikNimb：エラー"}},
    {"appRA01.ini", {"請求Orvik", "請求Orvik：エラー"}},
    {"QX_ADVS.ini", {"企業補佐", "企業補佐：エラー"}},
};

const char* const kApplicationKeys[] = {"DB_DIR", "APP_DIR"};

const char kDatabaseIni[] = "QX_DBE32.ini";
const char kStandaloneIni[] = "LW_DBE32.ini";
const char kFolderKey[] = "DBCOM_DIR";

// A folder value read from one ini file of the Windows directory, through
// the run's private copy of it.
class IniValue {
public:
    IniValue(WindowsFiles& files, const char* iniFile, const char* section, const char* key)
        : iniFile_(iniFile)
    {
        failure_ = files.CopyOf(iniFile, copy_);
        if (failure_ == kFileUsable)
            Read(section, key);
    }

    bool HasValue() const { return length_ > 0; }
    const char* Text() const { return value_; }
    const char* File() const { return iniFile_; }
    // Why the file could not be read: kFileUsable or kFileAbsent when it
    // was, or was not there.
    long Failure() const { return failure_; }
    bool IsUnreadable() const { return failure_ != kFileUsable && failure_ != kFileAbsent; }

    // Whether the whole value arrived. A value too long for the buffer
    // arrives cut, and the length returned is then the buffer's size less
    // one: what arrived would name another folder or section than the ini
    // file does. A value of exactly 255 bytes cannot be told from a cut one
    // and is given up too; the ANSI functions cannot make a folder whose
    // path is that long.
    bool IsWhole() const { return length_ < kPathBuffer - 1; }

    // Replaces the value by the one of `key` in the section that the current
    // value names ("Server"/"EngineName1" names the engine's own section).
    void FollowSection(const char* key)
    {
        if (!IsWhole()) {
            Clear();
            return;
        }
        char section[kPathBuffer];
        std::memcpy(section, value_, sizeof section);
        Read(section, key);
    }

private:
    void Read(const char* section, const char* key)
    {
        Clear();
        length_ = GetPrivateProfileStringA(section, key, "", value_, kPathBuffer, copy_);
    }

    void Clear()
    {
        std::memset(value_, 0, sizeof value_);
        length_ = 0;
    }

    const char* iniFile_;
    const char* copy_ = "";
    long failure_ = kFileFailed;
    char value_[kPathBuffer] = {};
    DWORD length_ = 0;
};

bool PathExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool NamesExistingPath(const IniValue& value)
{
    return value.HasValue() && value.IsWhole() && PathExists(value.Text());
}

IniValue DatabaseFolder(WindowsFiles& files, const char* section)
{
    return IniValue(files, kDatabaseIni, section, kFolderKey);
}

// "QX_DBE5"/"DBCOM_DIR", or else "DBCOM_DIR" of the section that
// "Server"/"EngineName1" names.
IniValue EngineFolder(WindowsFiles& files)
{
    IniValue folder = DatabaseFolder(files, "QX_DBE5");
    if (folder.HasValue())
        return folder;
    IniValue engine(files, kDatabaseIni, "Server", "EngineName1");
    if (engine.HasValue())
        engine.FollowSection(kFolderKey);
    return engine;
}

IniValue StandaloneFolder(WindowsFiles& files)
{
    return IniValue(files, kStandaloneIni, "DIR", "DB_DIR");
}

// The two fixed folders on the system drive (the Windows directory's drive).
struct FixedFolders {
    char commonData[kPathBuffer] = {};
    char linked[kPathBuffer] = {};
    bool named = false; // both paths fitted their buffers

    FixedFolders()
    {
        char windowsDir[kPathBuffer] = {};
        GetWindowsDirectoryA(windowsDir, kPathBuffer);
        named = FormatInto(commonData, sizeof commonData, "%.2s\\VESKADAT", windowsDir) &&
                FormatInto(linked, sizeof linked, "%.2s\\VESKAEX", windowsDir);
    }
};

// The place of an ini file in the table that the programs share.
int IniFileNumber(const char* iniFile)
{
    for (int i = 0; i < kApplicationIniCount; ++i)
        if (lstrcmpiA(kApplicationIniFiles[i], iniFile) == 0)
            return i;
    return 0;
}

// Grants Users full control on folders and records each result in the log.
class FolderGrant : public VeskaFolderVisitor {
public:
    FolderGrant(const LibraryLoader& loader, WindowsFiles& files, GrantWatcher* watcher)
        : loader_(loader), files_(files), watcher_(watcher)
    {
    }

    void Existing(const char* folder, const GrantLabel& label) override
    {
        const LONG status = GrantUsersAccess(loader_, folder, GENERIC_ALL);
        const long recorded = RecordGrant(files_, folder, label, status);
        if (watcher_ != nullptr)
            watcher_->Granted(folder, label, status, recorded);
    }

    void Missing(const char* folder, const GrantLabel& label) override
    {
        if (CreateDirectoryA(folder, nullptr))
            Existing(folder, label);
        else if (watcher_ != nullptr)
            watcher_->NotCreated(folder, label);
    }

    void Unreadable(const char* iniPath, const char* iniFile, const GrantLabel& label,
                    long failure) override
    {
        if (firstUnreadable_ == kGrantDone)
            firstUnreadable_ = UnreadableIniStatus(IniFileNumber(iniFile), failure);
        if (watcher_ != nullptr)
            watcher_->Unreadable(iniPath, label, failure);
    }

    LONG FirstUnreadable() const { return firstUnreadable_; }

private:
    const LibraryLoader& loader_;
    WindowsFiles& files_;
    GrantWatcher* watcher_;
    LONG firstUnreadable_ = kGrantDone;
};

// Tells the visitor of an ini file that could not be read, once per run.
void ReportUnreadable(WindowsFiles& files, VeskaFolderVisitor& visitor, const IniValue& value,
                      const GrantLabel& label)
{
    if (!value.IsUnreadable() || !files.FirstReportOf(value.File()))
        return;
    char iniPath[MAX_PATH];
    if (!FormatInto(iniPath, sizeof iniPath, "%s\\%s", files.FolderPath(), value.File()))
        lstrcpynA(iniPath, value.File(), sizeof iniPath);
    visitor.Unreadable(iniPath, value.File(), label, value.Failure());
}

void VisitIfExists(WindowsFiles& files, VeskaFolderVisitor& visitor, const IniValue& value,
                   const GrantLabel& label)
{
    ReportUnreadable(files, visitor, value, label);
    if (NamesExistingPath(value))
        visitor.Existing(value.Text(), label);
}

// Whether the value names a folder that exists, or its ini file could not
// be read and so may name one.
bool MayName(const IniValue& value)
{
    return value.IsUnreadable() || NamesExistingPath(value);
}

} // namespace

LONG WINAPI CheckVeskaFolder()
{
    WindowsFiles files(SystemLoader());
    for (const ApplicationRow& row : kApplications)
        for (const char* key : kApplicationKeys)
            if (MayName(IniValue(files, row.iniFile, "DIR", key)))
                return 1;

    // The check looks at "MOBILE" only when "MAIN_SERVER" names nothing.
    IniValue server = DatabaseFolder(files, "MAIN_SERVER");
    if (!server.HasValue())
        server = DatabaseFolder(files, "MOBILE");
    if (MayName(server) || MayName(EngineFolder(files)) || MayName(StandaloneFolder(files)))
        return 1;

    const FixedFolders fixed;
    return fixed.named && (PathExists(fixed.commonData) || PathExists(fixed.linked)) ? 1 : 0;
}

void VisitVeskaFolders(WindowsFiles& files, VeskaFolderVisitor& visitor)
{
    for (const ApplicationRow& row : kApplications)
        for (const char* key : kApplicationKeys)
            VisitIfExists(files, visitor, IniValue(files, row.iniFile, "DIR", key), row.label);

    VisitIfExists(files, visitor, DatabaseFolder(files, "MAIN_SERVER"), labels::kDatabase);
    VisitIfExists(files, visitor, EngineFolder(files), labels::kDatabase);
    VisitIfExists(files, visitor, DatabaseFolder(files, "MOBILE"), labels::kDatabase);
    VisitIfExists(files, visitor, StandaloneFolder(files), labels::kDatabase);

    const FixedFolders fixed;
    if (!fixed.named)
        return;
    const bool commonDataExists = PathExists(fixed.commonData);
    if (commonDataExists)
        visitor.Existing(fixed.commonData, labels::kCommonData);

    if (PathExists(fixed.linked))
        visitor.Existing(fixed.linked, labels::kLinkedExisting);
    else if (commonDataExists)
        visitor.Missing(fixed.linked, labels::kLinkedCreated);
}

LONG GrantVeskaFolders(const LibraryLoader& loader, GrantWatcher* watcher)
{
    WindowsFiles files(loader);
    FolderGrant grant(loader, files, watcher);
    VisitVeskaFolders(files, grant);
    return grant.FirstUnreadable();
}

LONG WINAPI SetVeskaFolder()
{
    return GrantVeskaFolders(SystemLoader(), nullptr);
}
