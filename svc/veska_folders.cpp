// Discovery of the folders that the applications' ini files in the Windows
// directory name, plus the two fixed folders at the root of the system drive,
// and the grant of each one that exists.
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
        FormatInto(iniPath_, sizeof iniPath_, "%s%s", windowsDir, iniFile);
        Read(section, key);
    }

    bool HasValue() const { return length_ > 0; }
    const char* Text() const { return value_; }

    // Replaces the value by the one of `key` in the section that the current
    // value names ("Server"/"EngineName1" names the engine's own section).
    void FollowSection(const char* key)
    {
        char section[kPathBuffer];
        std::memcpy(section, value_, sizeof section);
        Read(section, key);
    }

private:
    void Read(const char* section, const char* key)
    {
        std::memset(value_, 0, sizeof value_);
        length_ = GetPrivateProfileStringA(section, key, "", value_, kPathBuffer, iniPath_);
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
    return value.HasValue() && PathExists(value.Text());
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

    FixedFolders()
    {
        char windowsDir[kPathBuffer] = {};
        GetWindowsDirectoryA(windowsDir, kPathBuffer);
        FormatInto(commonData, sizeof commonData, "%.2s\\VESKADAT", windowsDir);
        FormatInto(linked, sizeof linked, "%.2s\\VESKAEX", windowsDir);
    }
};

void GrantAndRecord(const char* logPath, const char* folder, const GrantLabel& label)
{
    RecordGrant(logPath, folder, label, AddAccessRights_FULL(folder));
}

void GrantIfExists(const char* logPath, const IniValue& value, const GrantLabel& label)
{
    if (NamesExistingPath(value))
        GrantAndRecord(logPath, value.Text(), label);
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
    return PathExists(fixed.commonData) || PathExists(fixed.linked) ? 1 : 0;
}

LONG WINAPI SetVeskaFolder()
{
    char logPath[kPathBuffer];
    FormLogPath(logPath);

    for (const ApplicationRow& row : kApplications)
        for (const char* key : kApplicationKeys)
            GrantIfExists(logPath, IniValue(row.iniFile, "DIR", key), row.label);

    GrantIfExists(logPath, DatabaseFolder("MAIN_SERVER"), labels::kDatabase);
    GrantIfExists(logPath, EngineFolder(), labels::kDatabase);
    GrantIfExists(logPath, DatabaseFolder("MOBILE"), labels::kDatabase);
    GrantIfExists(logPath, StandaloneFolder(), labels::kDatabase);

    const FixedFolders fixed;
    const bool commonDataExists = PathExists(fixed.commonData);
    if (commonDataExists)
        GrantAndRecord(logPath, fixed.commonData, labels::kCommonData);

    if (PathExists(fixed.linked)) {
        GrantAndRecord(logPath, fixed.linked, labels::kLinkedExisting);
    } else if (commonDataExists) {
        if (!CreateDirectoryA(fixed.linked, nullptr))
            return 0;
        GrantAndRecord(logPath, fixed.linked, labels::kLinkedCreated);
    }
    return 0;
}
