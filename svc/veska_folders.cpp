// Discovery of the folders that the applications' ini files in the Windows
// directory name, plus the two fixed folders at the root of the system drive,
// and the grant of each one that exists.
#include "veska_folders.h"

#include "access_rights.h"
#include "ansi_text.h"
#include "history_log.h"
#include "vksvc.h"

#include <cstring>

namespace {

struct ApplicationRow {
    const char* iniFile;
    GrantLabel label;
};

const ApplicationRow kApplications[] = {
    {"\\appRC02.ini", {"財務OrvikVasto", "財務OrvikVasto：エラー"}},
    {"\\QX_LEDG.ini", {"ZELTRAN財務", "ZELTRAN財務：エラー"}},
    {"\\appRB02.ini", {"財務OrvikNimb", "財務OrvikNimb：エラー"}},
    {"\\appRA01.ini", {"請求Orvik", "請求Orvik：エラー"}},
    {"\\QX_ADVS.ini", {"企業補佐", "企業補佐：エラー"}},
};

const char* const kApplicationKeys[] = {"DB_DIR", "APP_DIR"};

const char kDatabaseIni[] = "\\QX_DBE32.ini";
const char kStandaloneIni[] = "\\LW_DBE32.ini";
const char kFolderKey[] = "DBCOM_DIR";

// A folder value read from one ini file of the Windows directory.
class IniValue {
public:
    IniValue(const char* iniFile, const char* section, const char* key)
    {
        char windowsDir[kPathBuffer] = {};
        GetWindowsDirectoryA(windowsDir, kPathBuffer);
        // An ini path too long for the buffer names no file: the value stays
        // empty, as for an ini file that is not there.
        if (FormatInto(iniPath_, sizeof iniPath_, "%s%s", windowsDir, iniFile))
            Read(section, key);
    }

    bool HasValue() const { return length_ > 0; }
    const char* Text() const { return value_; }

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
        length_ = GetPrivateProfileStringA(section, key, "", value_, kPathBuffer, iniPath_);
    }

    void Clear()
    {
        std::memset(value_, 0, sizeof value_);
        length_ = 0;
    }

    char iniPath_[kPathBuffer] = {};
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

IniValue DatabaseFolder(const char* section) { return IniValue(kDatabaseIni, section, kFolderKey); }

// "QX_DBE5"/"DBCOM_DIR", or else "DBCOM_DIR" of the section that
// "Server"/"EngineName1" names.
IniValue EngineFolder()
{
    IniValue folder = DatabaseFolder("QX_DBE5");
    if (folder.HasValue())
        return folder;
    IniValue engine(kDatabaseIni, "Server", "EngineName1");
    if (engine.HasValue())
        engine.FollowSection(kFolderKey);
    return engine;
}

IniValue StandaloneFolder() { return IniValue(kStandaloneIni, "DIR", "DB_DIR"); }

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

// Grants Users full control on folders and records each result in the log.
class FolderGrant : public VeskaFolderVisitor {
public:
    explicit FolderGrant(const LibraryLoader& loader) : loader_(loader), logNamed_(FormLogPath(logPath_)) {}

    void Existing(const char* folder, const GrantLabel& label) override
    {
        const LONG status = GrantUsersAccess(loader_, folder, GENERIC_ALL);
        // Without a path for the log the grant is done all the same; only
        // its record is lost.
        if (logNamed_)
            RecordGrant(logPath_, folder, label, status);
    }

    void Missing(const char* folder, const GrantLabel& label) override
    {
        if (CreateDirectoryA(folder, nullptr))
            Existing(folder, label);
    }

private:
    const LibraryLoader& loader_;
    char logPath_[kPathBuffer] = {};
    const bool logNamed_;
};

void VisitIfExists(VeskaFolderVisitor& visitor, const IniValue& value, const GrantLabel& label)
{
    if (NamesExistingPath(value))
        visitor.Existing(value.Text(), label);
}

} // namespace

LONG WINAPI CheckVeskaFolder()
{
    for (const ApplicationRow& row : kApplications)
        for (const char* key : kApplicationKeys)
            if (NamesExistingPath(IniValue(row.iniFile, "DIR", key)))
                return 1;

    // The check looks at "MOBILE" only when "MAIN_SERVER" names nothing.
    IniValue server = DatabaseFolder("MAIN_SERVER");
    if (!server.HasValue())
        server = DatabaseFolder("MOBILE");
    if (NamesExistingPath(server) || NamesExistingPath(EngineFolder()) ||
        NamesExistingPath(StandaloneFolder()))
        return 1;

    const FixedFolders fixed;
    return fixed.named && (PathExists(fixed.commonData) || PathExists(fixed.linked)) ? 1 : 0;
}

void VisitVeskaFolders(VeskaFolderVisitor& visitor)
{
    for (const ApplicationRow& row : kApplications)
        for (const char* key : kApplicationKeys)
            VisitIfExists(visitor, IniValue(row.iniFile, "DIR", key), row.label);

    VisitIfExists(visitor, DatabaseFolder("MAIN_SERVER"), labels::kDatabase);
    VisitIfExists(visitor, EngineFolder(), labels::kDatabase);
    VisitIfExists(visitor, DatabaseFolder("MOBILE"), labels::kDatabase);
    VisitIfExists(visitor, StandaloneFolder(), labels::kDatabase);

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

void GrantVeskaFolders(const LibraryLoader& loader)
{
    FolderGrant grant(loader);
    VisitVeskaFolders(grant);
}

LONG WINAPI SetVeskaFolder()
{
    GrantVeskaFolders(SystemLoader());
    return 0;
}
