// CheckVeskaFolder and SetVeskaFolder on real ini files of the Windows
// directory and real folders; the history log VK_XP.log read back by meaning.
//
// Wine keeps no DACLs, so a grant on drive C: succeeds there; a failing
// grant is made with advapi32.dll's SetKernelObjectSecurity refused for
// chosen folders, and CreatePrivateObjectSecurityEx, whose Wine version
// gives no DACL, is the tests' model (the loader seam of GrantVeskaFolders).
#include "history_log_format.h"
#include "veska_folders.h"
#include "vksvc.h"
#include "windows_file_failure.h"

#include "inheritance_model.h"
#include "test_support.h"

#include <doctest.h>

#include <aclapi.h>
#include <winternl.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace vktest;

namespace {

// Shift-JIS, as the log and the ini files hold it, shown in UTF-8.
std::string Readable(const std::string& ansi)
{
    const int wideSize = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring wide(wideSize, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], wideSize);
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr,
                                         nullptr);
    std::string text(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], size, nullptr, nullptr);
    text.resize(size > 0 ? size - 1 : 0);
    return text;
}

} // namespace

namespace doctest {
template <>
struct StringMaker<std::vector<std::string>> {
    static String convert(const std::vector<std::string>& lines)
    {
        std::string text = "{";
        for (const std::string& line : lines)
            text += "\n    " + Readable(line);
        return (text + " }").c_str();
    }
};
} // namespace doctest

namespace {

struct Application {
    const char* iniFile;
    const char* label;
};

const Application kApplications[] = {
    {"appRC02.ini", "財務OrvikVasto"}, {"QX_LEDG.ini", "ZELTRAN財務"},
    {"appRB02.ini", "財務OrvikNimb"},  {"appRA01.ini", "請求Orvik"},
    {"QX_ADVS.ini", "企業補佐"},
};
const char* const kApplicationKeys[] = {"DB_DIR", "APP_DIR"};

const char kDatabaseIni[] = "QX_DBE32.ini";
const char kStandaloneIni[] = "LW_DBE32.ini";

const char kLogSection[] = VK_HISTORY_SECTION;
const char kDatabase[] = "データベース";
const char kCommonData[] = "VESKA共通情報";
const char kLinkedExisting[] = "ZELTRAN財務EX連動";
const char kLinkedCreated[] = "VESKA財務EX連動";

const char kCommonDataFolder[] = "C:\\VESKADAT";
const char kLinkedFolder[] = "C:\\VESKAEX";
const char kDataRoot[] = "C:\\VkData";

// Folders off local fixed NTFS drives, from the prefix's set-up scripts.
const char kFat32Folder[] = "F:\\data";        // fat32.sh
const char kNetworkDriveFolder[] = "N:\\data"; // network.sh
const char kUncFolder[] = "\\\\vkserver\\share\\data"; // unc-share.sh

std::string LogPath() { return WindowsDir() + "\\" VK_HISTORY_LOG_FILE; }

// The log's entries as "folder=label", in file order.
std::vector<std::string> LogEntries()
{
    std::vector<std::string> lines;
    for (const IniEntry& entry : IniEntries(LogPath(), kLogSection))
        lines.push_back(entry.key + "=" + entry.value);
    return lines;
}

std::string Entry(const std::string& folder, const std::string& label)
{
    return folder + "=" + label;
}

// What the log holds: nothing at all when nothing was recorded, else the
// one section with these entries in this order.
void CheckLog(const std::vector<std::string>& expected)
{
    if (expected.empty()) {
        CHECK_FALSE(PathExists(LogPath()));
        return;
    }
    CHECK(IniSections(LogPath()) == std::vector<std::string>{kLogSection});
    CHECK(LogEntries() == expected);
}

// --- ini text ------------------------------------------------------------------

struct IniKey {
    std::string key;
    std::string value;
};
struct IniSection {
    std::string name;
    std::vector<IniKey> keys;
};

std::string IniText(const std::vector<IniSection>& sections)
{
    std::string text;
    for (const IniSection& section : sections) {
        text += "[" + section.name + "]\r\n";
        for (const IniKey& key : section.keys)
            text += key.key + "=" + key.value + "\r\n";
    }
    return text;
}

// An application's ini file: section DIR with DB_DIR and APP_DIR.
std::string DirIni(const std::string& dbDir, const std::string& appDir = "")
{
    std::vector<IniKey> keys;
    if (!dbDir.empty())
        keys.push_back({"DB_DIR", dbDir});
    if (!appDir.empty())
        keys.push_back({"APP_DIR", appDir});
    return IniText({{"DIR", keys}});
}

std::string DatabaseSection(const std::string& section, const std::string& folder)
{
    return IniText({{section, {{"DBCOM_DIR", folder}}}});
}

// --- The PC the tests set up -------------------------------------------------------

// The applications' ini files and folders of one test, and the fixed folders
// and the log it makes: all gone before and after the test.
class Installation {
public:
    Installation() { Clear(); }
    ~Installation() { Clear(); }
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    // Makes the folder C:\VkData\NAME and gives its path.
    std::string Folder(const std::string& name) const
    {
        const std::string path = std::string(kDataRoot) + "\\" + name;
        CreateDirectoryA(kDataRoot, nullptr);
        CreateDirectoryA(path.c_str(), nullptr);
        return path;
    }
    // The path of a folder that is not there.
    std::string MissingFolder(const std::string& name) const
    {
        return std::string(kDataRoot) + "\\" + name;
    }
    void WriteIni(const std::string& file, const std::string& bytes) const
    {
        WriteFileBytes(WindowsDir() + "\\" + file, bytes);
    }

private:
    static void Clear()
    {
        for (const Application& application : kApplications)
            RemoveTree(WindowsDir() + "\\" + application.iniFile);
        RemoveTree(WindowsDir() + "\\" + kDatabaseIni);
        RemoveTree(WindowsDir() + "\\" + kStandaloneIni);
        RemoveTree(LogPath());
        RemoveTree(kCommonDataFolder);
        RemoveTree(kLinkedFolder);
        RemoveTree(kDataRoot);
    }
};

// Wine converts file names with the host's locale: without a Japanese one
// (ja_JP.UTF-8) it cannot store a Japanese name.
bool HostStoresJapaneseNames()
{
    const std::string probe = std::string(kDataRoot) + "\\日本語";
    CreateDirectoryA(kDataRoot, nullptr);
    const bool stored = CreateDirectoryA(probe.c_str(), nullptr) && PathExists(probe);
    RemoveTree(probe);
    return stored;
}

// --- advapi32.dll watched -------------------------------------------------------------

using SetObjectSecurityFn = BOOL(WINAPI*)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);

// The folders whose DACL the grant wrote, in order (two writes per grant),
// and those whose DACL it may not write.
struct WatchedAdvapi {
    std::vector<std::string> written;
    std::set<std::string> refused;
    SetObjectSecurityFn realWrite = nullptr;
    // Files whose every open starts an oplock break that is never
    // acknowledged: what a user's batch oplock does, which Wine cannot make.
    std::set<std::wstring> oplocked;
};
WatchedAdvapi g_advapi;

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);

NTSTATUS NTAPI WatchedNtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES object,
                                   PIO_STATUS_BLOCK io, PLARGE_INTEGER size, ULONG attributes,
                                   ULONG sharing, ULONG disposition, ULONG options, PVOID ea,
                                   ULONG eaLength)
{
    static const NtCreateFileFn open = reinterpret_cast<NtCreateFileFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateFile")));
    const NTSTATUS status = open(handle, access, object, io, size, attributes, sharing,
                                 disposition, options, ea, eaLength);
    const std::wstring name(object->ObjectName->Buffer,
                            object->ObjectName->Length / sizeof(WCHAR));
    const NTSTATUS kOplockBreakInProgress = 0x00000108;
    return status == 0 && g_advapi.oplocked.count(name) != 0 ? kOplockBreakInProgress : status;
}

BOOL WINAPI WatchedSetObjectSecurity(HANDLE object, SECURITY_INFORMATION what,
                                     PSECURITY_DESCRIPTOR descriptor)
{
    const std::string path = PathOfHandle(object);
    g_advapi.written.push_back(path);
    for (const std::string& refused : g_advapi.refused) {
        if (lstrcmpiA(refused.c_str(), path.c_str()) == 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    return g_advapi.realWrite(object, what, descriptor);
}

FARPROC WINAPI WatchedLookup(HMODULE module, LPCSTR name)
{
    if (std::strcmp(name, "NtCreateFile") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(WatchedNtCreateFile));
    if (std::strcmp(name, "CreatePrivateObjectSecurityEx") == 0)
        return reinterpret_cast<FARPROC>(
            reinterpret_cast<void*>(vktest::ModelCreatePrivateObjectSecurityEx));
    FARPROC function = GetProcAddress(module, name);
    if (std::strcmp(name, "SetKernelObjectSecurity") != 0)
        return function;
    g_advapi.realWrite = reinterpret_cast<SetObjectSecurityFn>(reinterpret_cast<void*>(function));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(WatchedSetObjectSecurity));
}

const LibraryLoader kWatchedAdvapi = {LoadLibraryA, WatchedLookup, FreeLibrary};

// SetVeskaFolder with writing the DACL of the `refused` folders failing.
void SetVeskaFolderRefusing(const std::set<std::string>& refused)
{
    g_advapi = WatchedAdvapi();
    g_advapi.refused = refused;
    GrantVeskaFolders(kWatchedAdvapi);
}

// How often SetVeskaFolderRefusing granted `folder` (each grant writes twice).
size_t GrantsOf(const std::string& folder)
{
    size_t writes = 0;
    for (const std::string& written : g_advapi.written)
        writes += lstrcmpiA(written.c_str(), folder.c_str()) == 0 ? 1 : 0;
    return writes / 2;
}

} // namespace

TEST_CASE("no ini file and no fixed folder: CheckVeskaFolder 0, SetVeskaFolder creates and records nothing")
{
    Installation pc;
    CHECK(CheckVeskaFolder() == 0);
    SetVeskaFolder();
    CheckLog({});
    CHECK_FALSE(PathExists(kCommonDataFolder));
    CHECK_FALSE(PathExists(kLinkedFolder));
}

TEST_SUITE("applications")
{
    TEST_CASE("any one application's DB_DIR or APP_DIR that exists makes CheckVeskaFolder 1")
    {
        for (const Application& application : kApplications) {
            for (const char* key : kApplicationKeys) {
                CAPTURE(application.iniFile);
                CAPTURE(key);
                Installation pc;
                pc.WriteIni(application.iniFile,
                            IniText({{"DIR", {{key, pc.Folder("data")}}}}));
                CHECK(CheckVeskaFolder() == 1);
            }
        }
    }

    TEST_CASE("SetVeskaFolder grants the applications' folders in table order, DB_DIR before APP_DIR, under each one's label")
    {
        Installation pc;
        std::vector<std::string> expected;
        int number = 0;
        for (const Application& application : kApplications) {
            const std::string db = pc.Folder("db" + std::to_string(++number));
            const std::string app = pc.Folder("app" + std::to_string(number));
            pc.WriteIni(application.iniFile, DirIni(db, app));
            expected.push_back(Entry(db, application.label));
            expected.push_back(Entry(app, application.label));
        }
        CHECK(CheckVeskaFolder() == 1);
        SetVeskaFolder();
        CheckLog(expected);
    }

    TEST_CASE("a value naming a missing folder is skipped, and the folder is not created")
    {
        Installation pc;
        const std::string missing = pc.MissingFolder("missing");
        const std::string app = pc.Folder("app");
        pc.WriteIni("appRC02.ini", DirIni(missing, app));
        SetVeskaFolder();
        CheckLog({Entry(app, "財務OrvikVasto")});
        CHECK_FALSE(PathExists(missing));
    }

    TEST_CASE("a folder with a Japanese name whose Shift-JIS bytes hold backslash bytes is granted under its own name")
    {
        Installation pc;
        REQUIRE_MESSAGE(HostStoresJapaneseNames(),
                        "Wine on this host cannot store Japanese file names: the host needs "
                        "the ja_JP.UTF-8 locale (locale-gen)");
        // ソ and 表 end in the byte of a backslash.
        const std::string folder = pc.Folder("ソフト表示");
        pc.WriteIni("appRB02.ini", DirIni(folder));
        CHECK(CheckVeskaFolder() == 1);
        SetVeskaFolder();
        CheckLog({Entry(folder, "財務OrvikNimb")});
    }

    TEST_CASE("a value that Windows reads as another folder (..) is recorded as failed and nothing is granted")
    {
        Installation pc;
        const std::string above = pc.Folder("app") + "\\..";
        pc.WriteIni("QX_LEDG.ini", DirIni(above));
        SetVeskaFolderRefusing({});
        CheckLog({Entry(above, "ZELTRAN財務：エラー")});
        CHECK(g_advapi.written.empty());
    }

    TEST_CASE("a folder named in another section than DIR is not one of the applications'")
    {
        Installation pc;
        pc.WriteIni("appRC02.ini", IniText({{"DIR2", {{"DB_DIR", pc.Folder("data")}}}}));
        CHECK(CheckVeskaFolder() == 0);
        SetVeskaFolder();
        CheckLog({});
    }
}

TEST_SUITE("database folders")
{
    TEST_CASE("SetVeskaFolder grants MAIN_SERVER, QX_DBE5, MOBILE, then LW_DBE32.ini's DB_DIR, each as the database")
    {
        Installation pc;
        const std::string main = pc.Folder("main");
        const std::string engine = pc.Folder("engine");
        const std::string mobile = pc.Folder("mobile");
        const std::string standalone = pc.Folder("standalone");
        // Sections in another order than the probes'.
        pc.WriteIni(kDatabaseIni, DatabaseSection("MOBILE", mobile) +
                                      DatabaseSection("QX_DBE5", engine) +
                                      DatabaseSection("MAIN_SERVER", main));
        pc.WriteIni(kStandaloneIni, DirIni(standalone));
        SetVeskaFolder();
        CheckLog({Entry(main, kDatabase), Entry(engine, kDatabase), Entry(mobile, kDatabase),
                  Entry(standalone, kDatabase)});
    }

    TEST_CASE("QX_DBE5 without DBCOM_DIR: the folder is DBCOM_DIR of the section that Server/EngineName1 names")
    {
        Installation pc;
        const std::string engine = pc.Folder("engine");
        pc.WriteIni(kDatabaseIni, IniText({{"QX_DBE5", {{"DBCOM_DIR", ""}}},
                                           {"Server", {{"EngineName1", "財務エンジン"}}},
                                           {"財務エンジン", {{"DBCOM_DIR", engine}}}}));
        CHECK(CheckVeskaFolder() == 1);
        SetVeskaFolder();
        CheckLog({Entry(engine, kDatabase)});
    }

    TEST_CASE("QX_DBE5 naming a missing folder does not lead to the engine's section")
    {
        Installation pc;
        pc.WriteIni(kDatabaseIni,
                    IniText({{"QX_DBE5", {{"DBCOM_DIR", pc.MissingFolder("gone")}}},
                             {"Server", {{"EngineName1", "ENGINE"}}},
                             {"ENGINE", {{"DBCOM_DIR", pc.Folder("engine")}}}}));
        CHECK(CheckVeskaFolder() == 0);
        SetVeskaFolder();
        CheckLog({});
    }

    TEST_CASE("MAIN_SERVER naming a missing folder: SetVeskaFolder still grants MOBILE's, CheckVeskaFolder does not look there")
    {
        Installation pc;
        const std::string mobile = pc.Folder("mobile");
        pc.WriteIni(kDatabaseIni, DatabaseSection("MAIN_SERVER", pc.MissingFolder("gone")) +
                                      DatabaseSection("MOBILE", mobile));
        CHECK(CheckVeskaFolder() == 0);
        SetVeskaFolder();
        CheckLog({Entry(mobile, kDatabase)});
    }

    TEST_CASE("without MAIN_SERVER, CheckVeskaFolder counts MOBILE's folder")
    {
        Installation pc;
        pc.WriteIni(kDatabaseIni, DatabaseSection("MOBILE", pc.Folder("mobile")));
        CHECK(CheckVeskaFolder() == 1);
    }
}

TEST_SUITE("fixed folders")
{
    TEST_CASE("only VESKADAT: granted as common data; VESKAEX is created beside it and granted")
    {
        Installation pc;
        MakeFolders(kCommonDataFolder);
        CHECK(CheckVeskaFolder() == 1);
        SetVeskaFolder();
        CHECK(PathExists(kLinkedFolder));
        CheckLog({Entry(kCommonDataFolder, kCommonData), Entry(kLinkedFolder, kLinkedCreated)});
    }

    TEST_CASE("only VESKAEX: granted as the existing link folder; VESKADAT is not created")
    {
        Installation pc;
        MakeFolders(kLinkedFolder);
        CHECK(CheckVeskaFolder() == 1);
        SetVeskaFolder();
        CHECK_FALSE(PathExists(kCommonDataFolder));
        CheckLog({Entry(kLinkedFolder, kLinkedExisting)});
    }

    TEST_CASE("both: each granted under its own label, after the applications' folders")
    {
        Installation pc;
        MakeFolders(kCommonDataFolder);
        MakeFolders(kLinkedFolder);
        const std::string data = pc.Folder("data");
        pc.WriteIni("QX_ADVS.ini", DirIni(data));
        SetVeskaFolder();
        CheckLog({Entry(data, "企業補佐"), Entry(kCommonDataFolder, kCommonData),
                  Entry(kLinkedFolder, kLinkedExisting)});
    }

    TEST_CASE("VESKADAT whose grant fails: recorded with its failure label; VESKAEX is still created and granted")
    {
        Installation pc;
        MakeFolders(kCommonDataFolder);
        SetVeskaFolderRefusing({kCommonDataFolder});
        CHECK(PathExists(kLinkedFolder));
        CheckLog({Entry(kCommonDataFolder, "VESKA共通情報エラー"),
                  Entry(kLinkedFolder, kLinkedCreated)});
    }

    TEST_CASE("VESKADAT holding a second name of a file elsewhere: recorded as failed, that file left alone")
    {
        Installation pc;
        MakeFolders(kCommonDataFolder);
        const std::string elsewhere = pc.Folder("service") + "\\service.exe";
        WriteFileBytes(elsewhere, "program");
        REQUIRE(CreateHardLinkA((std::string(kCommonDataFolder) + "\\service.exe").c_str(),
                                elsewhere.c_str(), nullptr));
        SetVeskaFolderRefusing({});
        CheckLog({Entry(kCommonDataFolder, "VESKA共通情報エラー"),
                  Entry(kLinkedFolder, kLinkedCreated)});
        CHECK(g_advapi.written == std::vector<std::string>{PathOfObject(kCommonDataFolder),
                                                           PathOfObject(kCommonDataFolder),
                                                           PathOfObject(kLinkedFolder),
                                                           PathOfObject(kLinkedFolder)});
    }

    TEST_CASE("failed grants of VESKAEX, existing or created, are recorded with their failure labels")
    {
        Installation pc;
        SUBCASE("existing")
        {
            MakeFolders(kLinkedFolder);
            SetVeskaFolderRefusing({kLinkedFolder});
            CheckLog({Entry(kLinkedFolder, "ZELTRAN財務EX連動エラー")});
        }
        SUBCASE("created")
        {
            MakeFolders(kCommonDataFolder);
            SetVeskaFolderRefusing({kLinkedFolder});
            CheckLog({Entry(kCommonDataFolder, kCommonData),
                      Entry(kLinkedFolder, "VESKA財務EX連動エラー")});
        }
    }
}

TEST_SUITE("links")
{
    // C:\VESKAEX is veskaex-link.sh's link to C:\vk-links\target, and
    // C:\vk-links\link another (links.sh).
    TEST_CASE("VESKAEX and a DB_DIR that are links are recorded as failed and left alone; the folder beside them is granted")
    {
        const char kFolderLink[] = "C:\\vk-links\\link";
        REQUIRE((GetFileAttributesA(kLinkedFolder) & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
        Installation pc;
        const std::string app = pc.Folder("app");
        pc.WriteIni("QX_LEDG.ini", DirIni(kFolderLink, app));
        CHECK(CheckVeskaFolder() == 1);
        SetVeskaFolderRefusing({});
        CheckLog({Entry(kFolderLink, "ZELTRAN財務：エラー"), Entry(app, "ZELTRAN財務"),
                  Entry(kLinkedFolder, "ZELTRAN財務EX連動エラー")});
        CHECK(g_advapi.written == std::vector<std::string>(2, PathOfObject(app)));
    }
}

TEST_SUITE("history log")
{
    TEST_CASE("a failed grant of an application or database folder is recorded with its failure label; the next folders are still granted")
    {
        Installation pc;
        const std::string refused = pc.Folder("refused");
        const std::string next = pc.Folder("next");
        const std::string database = pc.Folder("db");
        pc.WriteIni("QX_LEDG.ini", DirIni(refused, next));
        pc.WriteIni(kStandaloneIni, DirIni(database));
        SetVeskaFolderRefusing({refused, database});
        CheckLog({Entry(refused, "ZELTRAN財務：エラー"), Entry(next, "ZELTRAN財務"),
                  Entry(database, "データベース：エラー")});
    }

    TEST_CASE("two rows naming one folder, in other letter case: granted twice, one key with the later row's label")
    {
        Installation pc;
        const std::string shared = pc.Folder("Shared");
        pc.WriteIni("appRC02.ini", DirIni(shared));
        pc.WriteIni("appRA01.ini", DirIni("", "c:\\vkdata\\SHARED"));
        SetVeskaFolderRefusing({});
        CHECK(GrantsOf(shared) == 2);
        const std::vector<IniEntry> entries = IniEntries(LogPath(), kLogSection);
        REQUIRE(entries.size() == 1);
        CHECK(lstrcmpiA(entries[0].key.c_str(), shared.c_str()) == 0);
        CHECK(entries[0].value == "請求Orvik");
    }

    TEST_CASE("entries already in the log stay; a folder granted again gets its new label in place")
    {
        Installation pc;
        const std::string data = pc.Folder("data");
        WriteFileBytes(LogPath(), IniText({{kLogSection, {{"D:\\Earlier", "追加フォルダ"},
                                                          {data, "財務OrvikVasto：エラー"}}}}));
        pc.WriteIni("appRC02.ini", DirIni(data));
        SetVeskaFolder();
        CheckLog({Entry("D:\\Earlier", "追加フォルダ"), Entry(data, "財務OrvikVasto")});
    }
}

TEST_SUITE("folders off local fixed NTFS drives")
{
    TEST_CASE("a folder on a FAT32 drive, a network drive or a UNC path counts for CheckVeskaFolder")
    {
        for (const char* folder : {kFat32Folder, kNetworkDriveFolder, kUncFolder}) {
            CAPTURE(folder);
            Installation pc;
            REQUIRE(PathExists(folder));
            pc.WriteIni("appRB02.ini", DirIni(folder));
            CHECK(CheckVeskaFolder() == 1);
        }
    }

    TEST_CASE("SetVeskaFolder leaves such folders unchanged and unrecorded")
    {
        Installation pc;
        pc.WriteIni("appRB02.ini", DirIni(kFat32Folder, kUncFolder));
        pc.WriteIni(kStandaloneIni, DirIni(kNetworkDriveFolder));
        SetVeskaFolderRefusing({});
        CHECK(g_advapi.written.empty());
        CheckLog({});
    }
}

// What the grant said of each folder in its run: "folder=status/record".
class GrantLog : public GrantWatcher {
public:
    std::vector<std::string> lines;
    void Granted(const char* folder, const GrantLabel&, LONG status, long recorded) override
    {
        lines.push_back(std::string(folder) + "=" + std::to_string(status) + "/" +
                        std::to_string(recorded));
    }
    void NotCreated(const char* folder, const GrantLabel&) override { lines.push_back(folder); }
    void Unreadable(const char* iniPath, const GrantLabel&, long failure) override
    {
        lines.push_back(std::string(iniPath) + "=" + std::to_string(failure));
    }
};

TEST_SUITE("ini files out of the ordinary")
{
    TEST_CASE("an ini file or the log whose oplock is never released holds the run 2 s, and fails only what it names")
    {
        struct Row {
            const wchar_t* held;
            LONG status;
            std::vector<std::string> said; // beside the folder named by the other file
            bool recorded;
        };
        Installation pc;
        const std::string db = pc.Folder("db");
        const std::string app = pc.Folder("app");
        pc.WriteIni(kDatabaseIni, DatabaseSection("MAIN_SERVER", db));
        pc.WriteIni("appRC02.ini", DirIni(app));
        const std::string iniPath = WindowsDir() + "\\" + kDatabaseIni;
        const Row kRows[] = {
            {L"QX_DBE32.ini", UnreadableIniStatus(5, kFileOplocked),
             {app + "=0/0", iniPath + "=" + std::to_string(kFileOplocked)}, true},
            {L"VK_XP.log", 0, {app + "=0/4", db + "=0/4"}, false},
        };
        for (const Row& row : kRows) {
            CAPTURE(row.status);
            WriteFileBytes(LogPath(), "[" + std::string(kLogSection) + "]\r\nC:\\old=" + kDatabase + "\r\n");
            g_advapi = WatchedAdvapi();
            g_advapi.oplocked = {row.held};
            GrantLog said;
            const DWORD start = GetTickCount();
            CHECK(GrantVeskaFolders(kWatchedAdvapi, &said) == row.status);
            const DWORD took = GetTickCount() - start;
            CHECK(said.lines == row.said);
            // Each held file is tried again for 2 s, then given up.
            CHECK(took >= 1900);
            CHECK(took < 2000 * row.said.size() + 1500);
            std::vector<std::string> log = {Entry("C:\\old", kDatabase)};
            if (row.recorded)
                log.push_back(Entry(app, "財務OrvikVasto"));
            CheckLog(log);
        }
        g_advapi.oplocked.clear();
    }

    // GetPrivateProfileStringA cuts a value to the 255 bytes that fit the
    // buffer: what arrives may name an existing file or folder that the ini
    // does not name.
    TEST_CASE("a value longer than 255 bytes names nothing, even when its first 255 bytes name a file")
    {
        Installation pc;
        const std::string folder = pc.Folder("long");
        const std::string cut = folder + "\\" + std::string(255 - folder.size() - 1, 'x');
        REQUIRE(cut.size() == 255);
        ScopedFile file(cut, "");
        pc.WriteIni("appRC02.ini", DirIni(cut + "\\more", cut + "y"));
        CHECK(CheckVeskaFolder() == 0);
        SetVeskaFolder();
        CheckLog({});
    }

    TEST_CASE("a value whose double-byte character straddles the buffer's end names nothing")
    {
        Installation pc;
        const std::string folder = pc.Folder("long");
        const std::string cut = folder + "\\" + std::string(254 - folder.size() - 1, 'x');
        REQUIRE(cut.size() == 254);
        ScopedFile file(cut, "");
        // "財" takes bytes 254 and 255: only its first byte would fit.
        pc.WriteIni("appRC02.ini", DirIni(cut + "財務"));
        CHECK(CheckVeskaFolder() == 0);
        SetVeskaFolder();
        CheckLog({});
    }

    TEST_CASE("an EngineName1 longer than 255 bytes names no section")
    {
        Installation pc;
        const std::string section(255, 'E');
        pc.WriteIni(kDatabaseIni,
                    IniText({{"Server", {{"EngineName1", section + "tail"}}},
                             {section, {{"DBCOM_DIR", pc.Folder("engine")}}}}));
        CHECK(CheckVeskaFolder() == 0);
        SetVeskaFolder();
        CheckLog({});
    }

    TEST_CASE("an ini file in UTF-16 with its byte-order mark is read like a Shift-JIS one")
    {
        Installation pc;
        const std::string folder = pc.Folder("unicode");
        const std::wstring text = L"\xFEFF[DIR]\r\nDB_DIR=C:\\VkData\\unicode\r\n";
        pc.WriteIni("appRC02.ini", std::string(reinterpret_cast<const char*>(text.c_str()),
                                               text.size() * sizeof(wchar_t)));
        CHECK(CheckVeskaFolder() == 1);
        SetVeskaFolder();
        CheckLog({Entry(folder, "財務OrvikVasto")});
    }

    TEST_CASE("an ini file in UTF-16 without byte-order mark: no folder is granted that it does not name")
    {
        Installation pc;
        const std::string folder = pc.Folder("utf16");
        pc.Folder("u"); // what a reader stopping at the first zero byte might take
        const std::wstring text = L"[DIR]\r\nDB_DIR=C:\\VkData\\utf16\r\n";
        pc.WriteIni("appRC02.ini", std::string(reinterpret_cast<const char*>(text.c_str()),
                                               text.size() * sizeof(wchar_t)));
        SetVeskaFolder();
        for (const std::string& entry : LogEntries())
            CHECK(entry == Entry(folder, "財務OrvikVasto"));
    }
}
