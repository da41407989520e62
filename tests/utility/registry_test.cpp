// The utility's registry module against the real registry, in keys of the
// test's own. Where it matters which keys an operation opens and closes, the
// registry functions are bound to doubles that record each call and then
// make the real one.
#include "basRegistry.h"
#include "bound_doubles.h"
#include "test_support.h"

#include <doctest.h>

#include <algorithm>
#include <climits>
#include <sstream>
#include <vector>

using namespace vktest;

namespace {

const char kTestKey[] = "Software\\VkUtilityTest";
const std::wstring kTestPath = L"HKEY_CURRENT_USER\\Software\\VkUtilityTest";
const char kRootValue[] = "VkUtilityTestValue"; // a value right under HKEY_CURRENT_USER

Long32 RootHandle(HKEY root)
{
    return static_cast<Long32>(reinterpret_cast<ULONG_PTR>(root));
}

bool IsPredefined(HKEY key)
{
    return (reinterpret_cast<ULONG_PTR>(key) & 0x80000000u) != 0;
}

// A fresh test key for each case, removed afterwards with all it holds.
struct TestKey {
    TestKey() : key(Fresh()) {}
    ~TestKey()
    {
        DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
        RegKey::Open(HKEY_CURRENT_USER, "", KEY_ALL_ACCESS).DeleteValue(kRootValue);
    }
    static RegKey Fresh()
    {
        DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
        return RegKey::Create(HKEY_CURRENT_USER, kTestKey);
    }
    RegKey key;
};

// --- Recording doubles of the registry functions -----------------------------

struct RegistryCalls {
    int count = 0;
    std::vector<std::string> openedSubKeys;
    std::vector<std::string> createdSubKeys;
    std::vector<std::string> deletedSubKeys;
    std::vector<REGSAM> masks; // of every open, create and key delete, in call order
    bool deletedThroughEx = false;
    std::vector<HKEY> opened; // keys handed out by a successful open or create
    std::vector<HKEY> closed;
    LONG closeResult = ERROR_SUCCESS; // what a close reports, after closing for real
};
RegistryCalls calls;

LONG WINAPI RecordOpen(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY key)
{
    ++calls.count;
    calls.openedSubKeys.push_back(subKey);
    calls.masks.push_back(access);
    const LONG result = RegOpenKeyExA(root, subKey, options, access, key);
    if (result == ERROR_SUCCESS)
        calls.opened.push_back(*key);
    return result;
}

LONG WINAPI RecordCreate(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                         DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                         LPDWORD disposition)
{
    ++calls.count;
    calls.createdSubKeys.push_back(subKey);
    calls.masks.push_back(access);
    const LONG result = RegCreateKeyExA(root, subKey, reserved, keyClass, options, access,
                                        security, key, disposition);
    if (result == ERROR_SUCCESS)
        calls.opened.push_back(*key);
    return result;
}

LONG WINAPI RecordQuery(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                        LPDWORD length)
{
    ++calls.count;
    return RegQueryValueExA(key, name, reserved, type, data, length);
}

LONG WINAPI RecordSet(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                      DWORD length)
{
    ++calls.count;
    return RegSetValueExA(key, name, reserved, type, data, length);
}

LONG WINAPI RecordDeleteValue(HKEY key, LPCSTR name)
{
    ++calls.count;
    return RegDeleteValueA(key, name);
}

LONG WINAPI RecordDeleteKey(HKEY root, LPCSTR subKey)
{
    ++calls.count;
    calls.deletedSubKeys.push_back(subKey);
    return RegDeleteKeyA(root, subKey);
}

LONG WINAPI RecordDeleteKeyEx(HKEY root, LPCSTR subKey, REGSAM view, DWORD reserved)
{
    ++calls.count;
    calls.deletedSubKeys.push_back(subKey);
    calls.masks.push_back(view);
    calls.deletedThroughEx = true;
    return RegDeleteKeyExA(root, subKey, view, reserved);
}

LONG WINAPI RecordClose(HKEY key)
{
    ++calls.count;
    calls.closed.push_back(key);
    const LONG result = RegCloseKey(key);
    return result == ERROR_SUCCESS ? calls.closeResult : result;
}

// Binds the seven registry functions to the recording doubles.
class RegistryCallLog {
public:
    RegistryCallLog() { calls = RegistryCalls(); }

    // Every key handed out was closed once, and nothing else was closed.
    static bool EveryKeyClosed()
    {
        std::vector<HKEY> opened = calls.opened;
        std::vector<HKEY> closed = calls.closed;
        std::sort(opened.begin(), opened.end());
        std::sort(closed.begin(), closed.end());
        return opened == closed;
    }

private:
    Rebound open_{Api::RegOpenKeyExA, RecordOpen};
    Rebound create_{Api::RegCreateKeyExA, RecordCreate};
    Rebound query_{Api::RegQueryValueExA, RecordQuery};
    Rebound set_{Api::RegSetValueExA, RecordSet};
    Rebound deleteValue_{Api::RegDeleteValueA, RecordDeleteValue};
    Rebound deleteKey_{Api::RegDeleteKeyA, RecordDeleteKey};
    Rebound deleteKeyEx_{Api::RegDeleteKeyExA, RecordDeleteKeyEx};
    Rebound close_{Api::RegCloseKey, RecordClose};
};

// What a value holds, read with the platform's own functions.
struct StoredValue {
    DWORD type = REG_NONE;
    std::string bytes;
};

StoredValue Stored(HKEY root, const std::string& key, const std::string& name)
{
    StoredValue value;
    if (!RegKey::Open(root, key).Query(name, &value.type, &value.bytes))
        value.type = REG_NONE;
    return value;
}

// --- What IsWow64Process answers ----------------------------------------------

BOOL wow64Answer = FALSE;

BOOL WINAPI ReportWow64(HANDLE, PBOOL wow64)
{
    *wow64 = wow64Answer;
    return TRUE;
}

} // namespace

// --- Root names ----------------------------------------------------------------

TEST_SUITE("root names")
{
    TEST_CASE("a root followed by a sub-key is recognised whatever its case")
    {
        CHECK(RegRootFromPath(L"hkey_local_machine\\SOFTWARE") == RootHandle(HKEY_LOCAL_MACHINE));
        CHECK(RegRootFromPath(L"Hkey_Current_User\\Software") == RootHandle(HKEY_CURRENT_USER));
    }

    TEST_CASE("a bare root is recognised only as written, in upper case")
    {
        CHECK(RegRootFromPath(L"HKEY_LOCAL_MACHINE") == RootHandle(HKEY_LOCAL_MACHINE));
        CHECK(RegRootFromPath(L"hkey_local_machine") == 0);
    }

    TEST_CASE("the five full root names are the only ones")
    {
        const struct {
            const wchar_t* path;
            HKEY root;
        } roots[] = {
            {L"HKEY_CLASSES_ROOT\\x", HKEY_CLASSES_ROOT},
            {L"HKEY_CURRENT_USER\\x", HKEY_CURRENT_USER},
            {L"HKEY_LOCAL_MACHINE\\x", HKEY_LOCAL_MACHINE},
            {L"HKEY_USERS\\x", HKEY_USERS},
            {L"HKEY_PERFORMANCE_DATA\\x", HKEY_PERFORMANCE_DATA},
            {L"HKEY_CURRENT_CONFIG\\System", nullptr},
            {L"HKEY_DYN_DATA\\x", nullptr},
            {L"HKLM\\SOFTWARE", nullptr},
            {L"\\HKEY_LOCAL_MACHINE\\SOFTWARE", nullptr},
            {L"", nullptr},
        };
        for (const auto& root : roots) {
            CAPTURE(Ansi(root.path));
            CHECK(RegRootFromPath(root.path) == RootHandle(root.root));
        }
    }

    TEST_CASE("on a root that is not recognised every operation returns -1, though the key "
              "exists")
    {
        const std::wstring path = L"HKEY_CURRENT_CONFIG\\System";
        REQUIRE(RegKey::Open(HKEY_CURRENT_CONFIG, "System").IsOpen());
        std::wstring text = L"before";
        Long32 length = 7;
        Long32 number = 7;
        CHECK(RegKeyExists(path) == kRegNotDone);
        CHECK(RegSetDword(path, L"VkUtilityTest", 1) == kRegNotDone);
        CHECK(RegGetString(path, L"VkUtilityTest", text, length) == kRegNotDone);
        CHECK(RegGetDword(path, L"VkUtilityTest", number) == kRegNotDone);
        CHECK(RegDeleteEntry(path, L"VkUtilityTest") == kRegNotDone);
        CHECK(RegDeleteEntry(path, L"") == kRegNotDone);
        CHECK(text == L"before");
        CHECK(length == 7);
        CHECK(number == 7);
        CHECK(Stored(HKEY_CURRENT_CONFIG, "System", "VkUtilityTest").type == REG_NONE);
        CHECK(RegKey::Open(HKEY_CURRENT_CONFIG, "System").IsOpen());
    }

    TEST_CASE_FIXTURE(TestKey, "a root part longer than 32767 characters makes every operation "
                               "return -1")
    {
        const std::wstring path = std::wstring(32768, L'K') + L"\\Software\\VkUtilityTest";
        Long32 number = 7;
        CHECK(RegRootFromPath(path) == 0);
        CHECK(RegKeyExists(path) == kRegNotDone);
        CHECK(RegSetDword(path, L"Value", 1) == kRegNotDone);
        CHECK(RegGetDword(path, L"Value", number) == kRegNotDone);
        CHECK(RegDeleteEntry(path, L"") == kRegNotDone);
        CHECK(number == 7);
    }
}

// --- Keys ------------------------------------------------------------------------

TEST_SUITE("RegKeyExists")
{
    TEST_CASE_FIXTURE(TestKey, "a key that opens with all access exists; a missing one does not")
    {
        CHECK(RegKeyExists(kTestPath) == kRegDone);
        CHECK(RegKeyExists(kTestPath + L"\\Missing") == kRegNotDone);
    }

    TEST_CASE("the start-up gate's key opens with all access for an administrator")
    {
        CHECK(RegKeyExists(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows "
                           L"NT\\CurrentVersion\\GRE_Initialize") == kRegDone);
    }

    TEST_CASE("one trailing backslash is dropped on open: HKEY_LOCAL_MACHINE\\ is the root itself")
    {
        RegistryCallLog log;
        CHECK(RegKeyExists(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\") == kRegDone);
        CHECK(RegKeyExists(L"HKEY_LOCAL_MACHINE\\") == kRegDone);
        REQUIRE(calls.openedSubKeys.size() == 2);
        CHECK(calls.openedSubKeys[0] == "SOFTWARE");
        CHECK(calls.openedSubKeys[1] == "");
        CHECK(RegistryCallLog::EveryKeyClosed());
    }

    TEST_CASE_FIXTURE(TestKey, "a bare root names the sub-key of its own name under itself")
    {
        CHECK(RegKeyExists(L"HKEY_CURRENT_USER") == kRegNotDone);
        RegKey::Create(HKEY_CURRENT_USER, "HKEY_CURRENT_USER");
        CHECK(RegKeyExists(L"HKEY_CURRENT_USER") == kRegDone);
        DeleteKeyTree(HKEY_CURRENT_USER, "HKEY_CURRENT_USER");
    }

    TEST_CASE("for a user who may only read a key under HKEY_LOCAL_MACHINE it does not exist; "
              "reads still work")
    {
        const char key[] = "SOFTWARE\\VkUtilityTest";
        const std::wstring path = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\VkUtilityTest";
        {
            RegKey owner = RegKey::Create(HKEY_LOCAL_MACHINE, key);
            REQUIRE(owner.SetDword("Jpn98FixPitch", 1) == ERROR_SUCCESS);
            ReadOnlyForEveryone readOnly(HKEY_LOCAL_MACHINE, key);
            REQUIRE(readOnly.Applied());

            Long32 number = 0;
            CHECK(RegKeyExists(path) == kRegNotDone);
            CHECK(RegGetDword(path, L"Jpn98FixPitch", number) == kRegDone);
            CHECK(number == 1);
            CHECK(RegSetDword(path, L"Jpn98FixPitch", 0) == kRegNotDone);
            CHECK(RegDeleteEntry(path, L"Jpn98FixPitch") == kRegNotDone);
            CHECK(Stored(HKEY_LOCAL_MACHINE, key, "Jpn98FixPitch").bytes ==
                  std::string("\1\0\0\0", 4));
        }
        CHECK(RegKeyExists(path) == kRegDone); // the DACL is back
        DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    }
}

// --- Writing numbers ---------------------------------------------------------------

TEST_SUITE("RegSetDword")
{
    TEST_CASE_FIXTURE(TestKey, "creates every missing key on the path and writes four "
                               "little-endian bytes as REG_DWORD")
    {
        CHECK(RegSetDword(kTestPath + L"\\a\\b\\c", L"Number", 0x12345678) == kRegDone);
        const StoredValue value = Stored(HKEY_CURRENT_USER, std::string(kTestKey) + "\\a\\b\\c",
                                         "Number");
        CHECK(value.type == REG_DWORD);
        CHECK(value.bytes == "\x78\x56\x34\x12");

        CHECK(RegSetDword(kTestPath, L"Number", -1) == kRegDone);
        CHECK(Stored(HKEY_CURRENT_USER, kTestKey, "Number").bytes == "\xFF\xFF\xFF\xFF");
    }

    TEST_CASE_FIXTURE(TestKey, "on a bare root it writes under the root itself, opening and "
                               "closing nothing")
    {
        RegistryCallLog log;
        CHECK(RegSetDword(L"HKEY_CURRENT_USER", Wide(kRootValue), 5) == kRegDone);
        CHECK(calls.opened.empty());
        CHECK(calls.createdSubKeys.empty());
        CHECK(calls.closed.empty());
        CHECK(Stored(HKEY_CURRENT_USER, "", kRootValue).bytes == std::string("\5\0\0\0", 4));
    }

    TEST_CASE_FIXTURE(TestKey, "a failed close turns the write into -1; the value stays written")
    {
        RegistryCallLog log;
        calls.closeResult = ERROR_INVALID_HANDLE;
        CHECK(RegSetDword(kTestPath, L"Number", 9) == kRegNotDone);
        CHECK(Stored(HKEY_CURRENT_USER, kTestKey, "Number").bytes == std::string("\x09\0\0\0", 4));
        CHECK(RegistryCallLog::EveryKeyClosed());
    }
}

TEST_CASE_FIXTURE(TestKey, "a trailing backslash is dropped on open but kept on create and on "
                           "key delete")
{
    RegistryCallLog log;
    RegKeyExists(kTestPath + L"\\");
    RegSetDword(kTestPath + L"\\New\\", L"Number", 1);
    RegDeleteEntry(kTestPath + L"\\New\\", L"");
    REQUIRE(calls.openedSubKeys.size() == 1);
    CHECK(calls.openedSubKeys[0] == "Software\\VkUtilityTest");
    REQUIRE(calls.createdSubKeys.size() == 1);
    CHECK(calls.createdSubKeys[0] == "Software\\VkUtilityTest\\New\\");
    REQUIRE(calls.deletedSubKeys.size() == 1);
    CHECK(calls.deletedSubKeys[0] == "Software\\VkUtilityTest\\New\\");
}

// --- Reading texts -----------------------------------------------------------------

TEST_SUITE("RegGetString")
{
    TEST_CASE_FIXTURE(TestKey, "gives the text without its last stored byte, and that many "
                               "bytes as the length")
    {
        key.SetString("Version", "5.1");
        key.SetString("Japanese", "日本語");
        std::wstring text;
        Long32 length = -7;
        CHECK(RegGetString(kTestPath, L"Version", text, length) == kRegDone);
        CHECK(text == L"5.1");
        CHECK(length == 3);
        // The length counts bytes of Shift-JIS, not characters.
        CHECK(RegGetString(kTestPath, L"Japanese", text, length) == kRegDone);
        CHECK(text == L"日本語");
        CHECK(length == 6);
    }

    TEST_CASE_FIXTURE(TestKey, "a text value stored with 0 or 1 bytes reads as empty, length 0")
    {
        key.SetBinary("Nothing", "", REG_SZ);
        key.SetBinary("Terminator", std::string(1, '\0'), REG_SZ);
        for (const wchar_t* name : {L"Nothing", L"Terminator"}) {
            CAPTURE(Ansi(name));
            std::wstring text = L"before";
            Long32 length = 7;
            CHECK(RegGetString(kTestPath, name, text, length) == kRegDone);
            CHECK(text.empty());
            CHECK(length == 0);
        }
    }

    TEST_CASE_FIXTURE(TestKey, "an expandable text stays unexpanded; a list keeps its inner "
                               "zeros")
    {
        key.SetString("Expand", "%SystemRoot%\\x", REG_EXPAND_SZ);
        key.SetBinary("List", std::string("a\0bc\0\0", 6), REG_MULTI_SZ);
        std::wstring text;
        Long32 length = 0;
        CHECK(RegGetString(kTestPath, L"Expand", text, length) == kRegDone);
        CHECK(text == L"%SystemRoot%\\x");
        CHECK(RegGetString(kTestPath, L"List", text, length) == kRegDone);
        CHECK(text == std::wstring(L"a\0bc\0", 5));
        CHECK(length == 5);
    }

    TEST_CASE_FIXTURE(TestKey, "255 bytes of text fill the 256-byte buffer; a longer text is not "
                               "read")
    {
        key.SetString("Fits", std::string(255, 'x'));
        key.SetString("TooLong", std::string(300, 'x'));
        std::wstring text;
        Long32 length = 0;
        CHECK(RegGetString(kTestPath, L"Fits", text, length) == kRegDone);
        CHECK(text == std::wstring(255, L'x'));
        CHECK(length == 255);

        text = L"before";
        length = 7;
        CHECK(RegGetString(kTestPath, L"TooLong", text, length) == kRegNotDone);
        CHECK(text == L"before");
        CHECK(length == 7);
    }

    TEST_CASE_FIXTURE(TestKey, "a number, a missing value or a missing key leave text and length "
                               "as they were")
    {
        key.SetDword("Number", 5);
        const struct {
            std::wstring path;
            const wchar_t* name;
        } failures[] = {
            {kTestPath, L"Number"}, {kTestPath, L"Missing"}, {kTestPath + L"\\Missing", L"x"}};
        for (const auto& failure : failures) {
            CAPTURE(Ansi(failure.path + L"!" + failure.name));
            std::wstring text = L"before";
            Long32 length = 7;
            CHECK(RegGetString(failure.path, failure.name, text, length) == kRegNotDone);
            CHECK(text == L"before");
            CHECK(length == 7);
        }
    }

    TEST_CASE_FIXTURE(TestKey, "on a bare root it reads a value of the root key itself")
    {
        RegKey::Open(HKEY_CURRENT_USER, "", KEY_ALL_ACCESS).SetString(kRootValue, "root");
        RegistryCallLog log;
        std::wstring text;
        Long32 length = 0;
        CHECK(RegGetString(L"HKEY_CURRENT_USER", Wide(kRootValue), text, length) == kRegDone);
        CHECK(text == L"root");
        CHECK(calls.opened.empty());
        CHECK(calls.closed.empty());
    }

    TEST_CASE_FIXTURE(TestKey, "a failed close makes a read -1 after text and length were set")
    {
        key.SetString("Version", "6.0");
        RegistryCallLog log;
        calls.closeResult = ERROR_INVALID_HANDLE;
        std::wstring text;
        Long32 length = 0;
        CHECK(RegGetString(kTestPath, L"Version", text, length) == kRegNotDone);
        CHECK(text == L"6.0");
        CHECK(length == 3);
    }
}

// --- Reading numbers -----------------------------------------------------------------

TEST_SUITE("RegGetDword")
{
    TEST_CASE_FIXTURE(TestKey, "reads a REG_DWORD as a signed 32-bit number")
    {
        key.SetDword("Five", 5);
        key.SetDword("AllOnes", 0xFFFFFFFF);
        key.SetDword("TopBit", 0x80000000);
        const struct {
            const wchar_t* name;
            Long32 number;
        } numbers[] = {{L"Five", 5}, {L"AllOnes", -1}, {L"TopBit", INT_MIN}};
        for (const auto& expected : numbers) {
            CAPTURE(Ansi(expected.name));
            Long32 number = 7;
            CHECK(RegGetDword(kTestPath, expected.name, number) == kRegDone);
            CHECK(number == expected.number);
        }
    }

    TEST_CASE_FIXTURE(TestKey, "any other type, or data longer than 5 bytes, leaves the number "
                               "alone")
    {
        key.SetBinary("Binary", std::string("\1\0\0\0", 4), REG_BINARY);
        key.SetBinary("BigEndian", std::string("\0\0\0\1", 4), REG_DWORD_BIG_ENDIAN);
        key.SetString("Text", "5");
        key.SetBinary("Quad", std::string("\1\0\0\0\0\0\0\0", 8), REG_QWORD);
        key.SetBinary("LongDword", std::string("\1\0\0\0\0\0", 6), REG_DWORD);
        for (const wchar_t* name : {L"Binary", L"BigEndian", L"Text", L"Quad", L"LongDword",
                                    L"Missing"}) {
            CAPTURE(Ansi(name));
            Long32 number = 7;
            CHECK(RegGetDword(kTestPath, name, number) == kRegNotDone);
            CHECK(number == 7);
        }
    }

    TEST_CASE_FIXTURE(TestKey, "an empty value name returns -1 without a registry call")
    {
        key.SetDword("", 5); // the key's default value
        RegistryCallLog log;
        Long32 number = 7;
        CHECK(RegGetDword(kTestPath, L"", number) == kRegNotDone);
        CHECK(number == 7);
        CHECK(calls.count == 0);
    }

    TEST_CASE("BytesToLong reads the first four bytes, little-endian, two's complement")
    {
        const struct {
            unsigned char bytes[5];
            Long32 number;
        } cases[] = {
            {{0x78, 0x56, 0x34, 0x12, 0x00}, 0x12345678},
            {{0x00, 0x00, 0x00, 0x80, 0x00}, INT_MIN},
            {{0xFF, 0xFF, 0xFF, 0xFF, 0x00}, -1},
            {{0xFF, 0xFF, 0xFF, 0x7F, 0xFF}, INT_MAX},
        };
        for (const auto& entry : cases)
            CHECK(BytesToLong(entry.bytes) == entry.number);
    }
}

// --- Deleting ------------------------------------------------------------------------

TEST_SUITE("RegDeleteEntry")
{
    TEST_CASE_FIXTURE(TestKey, "deletes a named value; a value that does not exist gives -1")
    {
        key.SetDword("Number", 5);
        CHECK(RegDeleteEntry(kTestPath, L"Number") == kRegDone);
        CHECK_FALSE(key.HasValue("Number"));
        CHECK(RegDeleteEntry(kTestPath, L"Number") == kRegNotDone);
    }

    TEST_CASE_FIXTURE(TestKey, "an empty value name deletes the key, but not a key that has "
                               "sub-keys")
    {
        RegKey::Create(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Parent\\Child");
        CHECK(RegDeleteEntry(kTestPath + L"\\Parent", L"") == kRegNotDone);
        CHECK(RegDeleteEntry(kTestPath + L"\\Parent\\Child", L"") == kRegDone);
        CHECK_FALSE(RegKey::Open(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Parent\\Child")
                        .IsOpen());
        CHECK(RegDeleteEntry(kTestPath + L"\\Parent", L"") == kRegDone);
    }

    TEST_CASE_FIXTURE(TestKey, "a root key is never deleted; a value right under a root is")
    {
        RegKey::Open(HKEY_CURRENT_USER, "", KEY_ALL_ACCESS).SetDword(kRootValue, 5);
        RegistryCallLog log;
        CHECK(RegDeleteEntry(L"HKEY_CURRENT_USER", L"") == kRegNotDone);
        CHECK(calls.count == 0);
        CHECK(RegDeleteEntry(L"HKEY_CURRENT_USER", Wide(kRootValue)) == kRegDone);
        CHECK(Stored(HKEY_CURRENT_USER, "", kRootValue).type == REG_NONE);
        CHECK(calls.closed.empty());
    }

    TEST_CASE_FIXTURE(TestKey, "a failed close after deleting a value gives -1; the value is gone")
    {
        key.SetDword("Number", 5);
        RegistryCallLog log;
        calls.closeResult = ERROR_INVALID_HANDLE;
        CHECK(RegDeleteEntry(kTestPath, L"Number") == kRegNotDone);
        CHECK_FALSE(key.HasValue("Number"));
    }
}

TEST_CASE_FIXTURE(TestKey, "every key an operation opens or creates is closed by it, whatever "
                           "the outcome; no root is ever closed")
{
    key.SetDword("Number", 5);
    key.SetString("Text", "x");
    RegistryCallLog log;
    std::wstring text;
    Long32 length = 0;
    Long32 number = 0;
    RegKeyExists(kTestPath);
    RegGetString(kTestPath, L"Text", text, length);
    RegGetString(kTestPath, L"Number", text, length);
    RegGetString(kTestPath, L"Missing", text, length);
    RegGetDword(kTestPath, L"Number", number);
    RegGetDword(kTestPath, L"Text", number);
    RegSetDword(kTestPath + L"\\Created", L"Number", 1);
    RegDeleteEntry(kTestPath, L"Number");
    RegDeleteEntry(kTestPath, L"Missing");
    RegDeleteEntry(kTestPath + L"\\Created", L"");
    RegGetDword(L"HKEY_CURRENT_USER", L"Missing", number);
    CHECK(calls.opened.size() == 9);
    CHECK(RegistryCallLog::EveryKeyClosed());
    CHECK(std::none_of(calls.closed.begin(), calls.closed.end(), IsPredefined));
}

TEST_CASE_FIXTURE(TestKey, "the font setting's value: written, read back, deleted")
{
    const std::wstring fontKey = kTestPath + L"\\GRE_Initialize";
    Long32 number = 0;
    CHECK(RegGetDword(fontKey, L"Jpn98FixPitch", number) == kRegNotDone);
    CHECK(RegSetDword(fontKey, L"Jpn98FixPitch", 1) == kRegDone);
    CHECK(RegGetDword(fontKey, L"Jpn98FixPitch", number) == kRegDone);
    CHECK(number == 1);
    CHECK(RegDeleteEntry(fontKey, L"Jpn98FixPitch") == kRegDone);
    CHECK(RegGetDword(fontKey, L"Jpn98FixPitch", number) == kRegNotDone);
    CHECK(RegKeyExists(fontKey) == kRegDone);
}

TEST_CASE("under WOW64 every open, create and key delete of the font key is in the 64-bit view; "
          "elsewhere none is")
{
    const std::wstring fontPath =
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\GRE_Initialize";
    // IsWow64Process answering TRUE, FALSE, or missing (before XP SP2).
    for (const int answer : {TRUE, FALSE, -1}) {
        CAPTURE(answer);
        const bool nativeView = answer == TRUE;
        wow64Answer = answer;
        Rebound wow64(Api::IsWow64Process, ReportWow64);
        if (answer == -1)
            MarkMissingForTest(Api::IsWow64Process);
        RegistryCallLog log;
        Long32 number = 0;
        CHECK(RegKeyExists(fontPath) == kRegDone);
        CHECK(RegSetDword(fontPath, L"Jpn98FixPitch", 1) == kRegDone);
        CHECK(RegGetDword(fontPath, L"Jpn98FixPitch", number) == kRegDone);
        CHECK(RegDeleteEntry(fontPath, L"Jpn98FixPitch") == kRegDone);
        CHECK(RegSetDword(fontPath + L"\\VkUtilityTest", L"Number", 1) == kRegDone);
        CHECK(RegDeleteEntry(fontPath + L"\\VkUtilityTest", L"") == kRegDone);
        CHECK(calls.deletedThroughEx == nativeView);
        // Three opens and two creates, and the delete when it names a view.
        CHECK(calls.masks.size() == (nativeView ? 6u : 5u));
        std::ostringstream masks;
        for (REGSAM mask : calls.masks) {
            masks << " 0x" << std::hex << mask;
            CHECK(((mask & KEY_WOW64_64KEY) != 0) == nativeView);
        }
        MESSAGE("IsWow64Process " << std::string(answer == -1 ? "missing" : answer ? "TRUE" : "FALSE")
                                  << ": GRE_Initialize masks" << masks.str());
    }
}
