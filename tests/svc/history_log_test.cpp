// The history log VK_XP.log: where it lies, the bytes of a new log, which
// grant outcome writes which label, and how later records change it.
//
// Expected texts are written as wide strings and turned into code page 932
// here, so they do not depend on how the compiler encodes narrow literals.
#include "history_log.h"
#include "history_log_format.h"
#include "test_support.h"
#include "vksvc.h"
#include "windows_files.h"

#include <doctest.h>

#include <string>
#include <vector>

using namespace vktest;

namespace {

std::string ShiftJis(const std::wstring& text)
{
    const int size = WideCharToMultiByte(932, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(932, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(size - 1);
    return bytes;
}

const std::wstring kSection = L"" VK_HISTORY_SECTION;
const char kCommonDataFolder[] = "C:\\VESKADAT";
const char kLinkedFolder[] = "C:\\VESKAEX";

// A log of its own in a folder of its own: the profile functions remember
// files they have seen, so no two cases share a path.
class FreshLog {
public:
    explicit FreshLog(const std::string& name)
        : folder_("C:\\vk-history\\" + name), path_(folder_.Path() + "\\" VK_HISTORY_LOG_FILE),
          files_(SystemLoader(), folder_.Path().c_str())
    {
    }
    // The log's folder, as the library reaches the Windows folder.
    WindowsFiles& Files() { return files_; }
    bool Exists() const { return PathExists(path_); }
    std::string Bytes() const { return ReadFileBytes(path_); }
    std::vector<IniEntry> Entries() const { return IniEntries(path_, ShiftJis(kSection)); }
    std::vector<std::string> Sections() const { return IniSections(path_); }

private:
    ScopedFolder folder_;
    std::string path_;
    WindowsFiles files_;
};

// The entries as "key=value" lines, for readable comparisons.
std::string Lines(const std::vector<IniEntry>& entries)
{
    std::string text;
    for (const IniEntry& entry : entries)
        text += entry.key + "=" + entry.value + "\n";
    return text;
}

std::string Line(const std::string& key, const std::wstring& label)
{
    return key + "=" + ShiftJis(label) + "\n";
}

} // namespace

TEST_CASE("the log is VK_XP.log in the Windows directory")
{
    char logPath[kPathBuffer] = {};
    REQUIRE(FormLogPath(logPath));
    CHECK(std::string(logPath) == WindowsDir() + "\\VK_XP.log");
    CHECK(std::string(logPath) == "C:\\windows\\VK_XP.log");
}

TEST_CASE("the first record creates the log: section header and one entry, CR LF")
{
    SUBCASE("a grant that succeeded")
    {
        FreshLog log("first-success");
        RecordGrant(log.Files(), kCommonDataFolder, labels::kCommonData, kGrantDone);
        CHECK(log.Bytes() == ShiftJis(L"[" + kSection + L"]\r\n" +
                                      L"C:\\VESKADAT=VESKA共通情報\r\n"));
    }
    SUBCASE("a grant that failed")
    {
        FreshLog log("first-failure");
        RecordGrant(log.Files(), kLinkedFolder, labels::kLinkedExisting, kGrantWriteFailed);
        CHECK(log.Bytes() == ShiftJis(L"[" + kSection + L"]\r\n" +
                                      L"C:\\VESKAEX=ZELTRAN財務EX連動エラー\r\n"));
    }
}

TEST_CASE("0 writes the success label, -4 nothing, every other status the failure label")
{
    struct Outcome {
        LONG status;
        const wchar_t* label; // null: nothing is written
    };
    const Outcome kOutcomes[] = {
        {kGrantDone, L"データベース"},
        {kGrantReadFailed, L"データベース：エラー"},
        {kGrantMergeFailed, L"データベース：エラー"},
        {kGrantWriteFailed, L"データベース：エラー"},
        {kGrantApiMissing, L"データベース：エラー"},
        {kGrantNotFixedAclDrive, nullptr},
    };
    for (const Outcome& outcome : kOutcomes) {
        CAPTURE(outcome.status);
        FreshLog log("status" + std::to_string(outcome.status));
        RecordGrant(log.Files(), "C:\\DB", labels::kDatabase, outcome.status);
        if (outcome.label == nullptr) {
            CHECK_FALSE(log.Exists());
            continue;
        }
        CHECK(Lines(log.Entries()) == Line("C:\\DB", outcome.label));
    }
}

TEST_CASE("each kind of folder has its success and failure label, stored as written")
{
    struct Labels {
        const GrantLabel& label;
        const wchar_t* success;
        const wchar_t* failure;
    };
    // The database row adds a full-width colon; the fixed folders do not.
    const Labels kLabels[] = {
        {labels::kDatabase, L"データベース", L"データベース：エラー"},
        {labels::kCommonData, L"VESKA共通情報", L"VESKA共通情報エラー"},
        {labels::kLinkedExisting, L"ZELTRAN財務EX連動", L"ZELTRAN財務EX連動エラー"},
        {labels::kLinkedCreated, L"VESKA財務EX連動", L"VESKA財務EX連動エラー"},
    };
    FreshLog log("labels");
    std::string expected;
    int row = 0;
    for (const Labels& kind : kLabels) {
        const std::string granted = "C:\\granted" + std::to_string(row);
        const std::string refused = "C:\\refused" + std::to_string(row);
        ++row;
        RecordGrant(log.Files(), granted.c_str(), kind.label, kGrantDone);
        RecordGrant(log.Files(), refused.c_str(), kind.label, kGrantReadFailed);
        expected += Line(granted, kind.success) + Line(refused, kind.failure);
    }
    CHECK(Lines(log.Entries()) == expected);
    // Nothing but the one section is ever written.
    REQUIRE(log.Sections().size() == 1);
    CHECK(log.Sections()[0] == ShiftJis(kSection));
}

TEST_CASE("a path already logged, in any case, keeps its line and gets the later label")
{
    FreshLog log("replace");
    RecordGrant(log.Files(), "C:\\DB", labels::kDatabase, kGrantDone);
    RecordGrant(log.Files(), kCommonDataFolder, labels::kCommonData, kGrantDone);
    RecordGrant(log.Files(), kLinkedFolder, labels::kLinkedCreated, kGrantDone);

    RecordGrant(log.Files(), "c:\\veskadat", labels::kCommonData, kGrantMergeFailed);
    const std::vector<IniEntry> entries = log.Entries();
    REQUIRE(entries.size() == 3);
    CHECK(entries[0].key == "C:\\DB");
    CHECK(entries[1].value == ShiftJis(L"VESKA共通情報エラー"));
    CHECK(entries[2].key == kLinkedFolder);

    // The same folder under another label: still one line, the later label.
    RecordGrant(log.Files(), "C:\\DB", labels::kLinkedExisting, kGrantDone);
    CHECK(Lines(log.Entries()) == Line("C:\\DB", L"ZELTRAN財務EX連動") +
                                      Line(kCommonDataFolder, L"VESKA共通情報エラー") +
                                      Line(kLinkedFolder, L"VESKA財務EX連動"));
}

TEST_CASE("a Shift-JIS path whose second byte is a backslash is a key as written")
{
    // 表 is 0x95 0x5C in code page 932.
    const std::string folder = ShiftJis(L"C:\\会計\\表示データ");
    FreshLog log("shift-jis");
    RecordGrant(log.Files(), folder.c_str(), labels::kDatabase, kGrantDone);
    CHECK(Lines(log.Entries()) == Line(folder, L"データベース"));
}

TEST_CASE("-4 leaves an existing log as it was, byte for byte")
{
    FreshLog log("untouched");
    RecordGrant(log.Files(), kCommonDataFolder, labels::kCommonData, kGrantDone);
    const std::string before = log.Bytes();
    RecordGrant(log.Files(), kCommonDataFolder, labels::kCommonData, kGrantNotFixedAclDrive);
    RecordGrant(log.Files(), "\\\\server\\share", labels::kDatabase, kGrantNotFixedAclDrive);
    CHECK(log.Bytes() == before);
}

TEST_CASE("a log that cannot be written (its path is a folder) is not written, and says so")
{
    const ScopedFolder logFolder("C:\\vk-history\\blocked\\VK_XP.log");
    WindowsFiles files(SystemLoader(), "C:\\vk-history\\blocked");
    CHECK(RecordGrant(files, kCommonDataFolder, labels::kCommonData, kGrantDone) == kFileFailed);
    CHECK((GetFileAttributesA(logFolder.Path().c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);
    // Nothing was made inside it: an empty folder can be removed.
    CHECK(RemoveDirectoryA(logFolder.Path().c_str()));
}
