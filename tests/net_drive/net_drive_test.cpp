// ChkNetDrv: remembered network drives that are not connected are connected
// again and named in one Japanese message.
//
// VKSVC.dll runs beside a stand-in mpr.dll whose drives each test
// describes (fake_mpr.cpp). Both are copied into a folder of their own and
// the library is loaded with LOAD_WITH_ALTERED_SEARCH_PATH, so Windows looks
// for the mpr.dll it imports in that folder first; WINEDLLOVERRIDES
// (mpr=n,b, set in CMakeLists.txt) makes Wine take that file rather than
// its own mpr.
#include "test_support.h"

#include <doctest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace vktest;

namespace {

using ChkNetDrvFn = LONG(WINAPI*)(DWORD, LPSTR);
using JournalFn = const char*(WINAPI*)();
using ClearJournalFn = void(WINAPI*)();

const char kFakeMprVariable[] = "VK_FAKE_MPR";
const char kAllDrives = '1';
const size_t kCallerBuffer = 1024; // what the utility passes
const char kUntouched = '\xCC';
const DWORD kRemoteNameBuffer = 520;

const char kMessageStart[] = "管理者承認モードで";
const char kMessageEnd[] = "ドライブに接続しました。";
const char kSeparator[] = "，";

template <typename Fn>
Fn Function(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// VKSVC.dll loaded from a folder of its own beside the stand-in mpr.dll.
class LibraryBesideFakeMpr {
public:
    LibraryBesideFakeMpr() : folder_(ProgramDir() + "\\net_drive")
    {
        CopyFileA((ProgramDir() + "\\VKSVC.dll").c_str(), (folder_.Path() + "\\VKSVC.dll").c_str(),
                  FALSE);
        CopyFileA((ProgramDir() + "\\fake_mpr.dll").c_str(),
                  (folder_.Path() + "\\mpr.dll").c_str(), FALSE);
        library_ = LoadLibraryExA((folder_.Path() + "\\VKSVC.dll").c_str(), nullptr,
                                  LOAD_WITH_ALTERED_SEARCH_PATH);
        HMODULE mpr = GetModuleHandleA("mpr.dll");
        check_ = Function<ChkNetDrvFn>(library_, "ChkNetDrv");
        journal_ = Function<JournalFn>(mpr, "FakeMprJournal");
        clearJournal_ = Function<ClearJournalFn>(mpr, "FakeMprClearJournal");
    }
    ~LibraryBesideFakeMpr()
    {
        if (library_ != nullptr)
            FreeLibrary(library_);
    }
    LibraryBesideFakeMpr(const LibraryBesideFakeMpr&) = delete;
    LibraryBesideFakeMpr& operator=(const LibraryBesideFakeMpr&) = delete;

    // Whether VKSVC.dll loaded and imports the stand-in rather than Wine's mpr.
    bool Ready() const { return check_ != nullptr && journal_ != nullptr; }
    LONG ChkNetDrv(DWORD selector, char* message) const { return check_(selector, message); }
    std::string Journal() const { return journal_(); }
    void ClearJournal() const { clearJournal_(); }

private:
    ScopedFolder folder_;
    HMODULE library_ = nullptr;
    ChkNetDrvFn check_ = nullptr;
    JournalFn journal_ = nullptr;
    ClearJournalFn clearJournal_ = nullptr;
};

const LibraryBesideFakeMpr& Library()
{
    static LibraryBesideFakeMpr library;
    REQUIRE(library.Ready());
    return library;
}

// The network drives that the stand-in mpr.dll reports during one test.
class Network {
public:
    explicit Network(const std::string& drives)
    {
        SetEnvironmentVariableA(kFakeMprVariable, drives.c_str());
        Library().ClearJournal();
    }
    ~Network() { SetEnvironmentVariableA(kFakeMprVariable, nullptr); }
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;
};

struct CheckResult {
    LONG status;
    std::vector<char> buffer; // the caller's 1024 bytes after the call
    std::string Message() const { return buffer.data(); }
    // Whether the bytes after the message's terminator are as they were.
    bool RestUntouched() const
    {
        for (size_t i = Message().size() + 1; i < buffer.size(); ++i)
            if (buffer[i] != kUntouched)
                return false;
        return true;
    }
    bool AllUntouched() const
    {
        for (char byte : buffer)
            if (byte != kUntouched)
                return false;
        return true;
    }
};

CheckResult Check(DWORD selector)
{
    CheckResult result = {0, std::vector<char>(kCallerBuffer, kUntouched)};
    result.status = Library().ChkNetDrv(selector, result.buffer.data());
    return result;
}

std::vector<std::string> JournalLines()
{
    std::vector<std::string> lines;
    const std::string journal = Library().Journal();
    for (size_t start = 0, end; start < journal.size(); start = end + 1) {
        end = journal.find('\n', start);
        lines.push_back(journal.substr(start, end - start));
    }
    return lines;
}

// The reconnections the library asked for, one line each.
std::vector<std::string> Reconnections()
{
    std::vector<std::string> adds;
    for (const std::string& line : JournalLines())
        if (line.compare(0, 4, "add ") == 0)
            adds.push_back(line);
    return adds;
}

// What the journal shows for a reconnection of `letter` to `remote` as
// ChkNetDrv asks for it: a disk resource, no provider, the current user's
// credentials, and the connection remembered (CONNECT_UPDATE_PROFILE).
std::string Reconnection(char letter, const std::string& remote)
{
    return std::string("add ") + letter + ": " + remote +
           " type=1 provider=(null) password=(null) user=(null) flags=1";
}

std::string MessageNaming(const std::string& driveList)
{
    return kMessageStart + driveList + kMessageEnd;
}

std::string Remembered(char letter, const std::string& remote)
{
    return std::string(1, letter) + ":remembered=" + remote;
}

} // namespace

TEST_CASE("no remembered network drive: 0, the caller's buffer is left as it was")
{
    Network network("");
    const CheckResult result = Check(kAllDrives);
    CHECK(result.status == 0);
    CHECK(result.AllUntouched());
    CHECK(Reconnections().empty());
}

TEST_CASE("the all-drives selector '1' asks for every letter from A to Z, with a 520-byte buffer")
{
    Network network("");
    Check(kAllDrives);
    std::vector<std::string> expected;
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        expected.push_back(std::string("get ") + letter + ": " +
                           std::to_string(kRemoteNameBuffer));
    CHECK(JournalLines() == expected);
}

TEST_CASE("E and G remembered: both reconnected, the message lists E, a full-width comma, G")
{
    Network network(Remembered('E', "\\\\files\\e") + ";" + Remembered('G', "\\\\files\\経理"));
    const CheckResult result = Check(kAllDrives);
    CHECK(result.status == 1);
    CHECK(result.Message() == "管理者承認モードでE，Gドライブに接続しました。");
    CHECK(result.RestUntouched());
    CHECK(Reconnections() == std::vector<std::string>{Reconnection('E', "\\\\files\\e"),
                                                      Reconnection('G', "\\\\files\\経理")});
}

TEST_CASE("a remembered drive whose server is offline is left out; alone, it gives 0")
{
    SUBCASE("with a reachable one")
    {
        Network network("H:offline=\\\\down\\h;" + Remembered('J', "\\\\files\\j"));
        const CheckResult result = Check(kAllDrives);
        CHECK(result.status == 1);
        CHECK(result.Message() == MessageNaming("J"));
        CHECK(Reconnections().size() == 2); // H was tried, and failed
    }
    SUBCASE("alone")
    {
        Network network("H:offline=\\\\down\\h");
        const CheckResult result = Check(kAllDrives);
        CHECK(result.status == 0);
        CHECK(result.AllUntouched());
    }
}

TEST_CASE("a drive that is connected already is neither reconnected nor named")
{
    Network network("E:connected=\\\\files\\e;" + Remembered('F', "\\\\files\\f"));
    const CheckResult result = Check(kAllDrives);
    CHECK(result.Message() == MessageNaming("F"));
    CHECK(Reconnections() == std::vector<std::string>{Reconnection('F', "\\\\files\\f")});
}

TEST_CASE("a remembered drive without a remote name is skipped")
{
    Network network("E:remembered=");
    CHECK(Check(kAllDrives).status == 0);
    CHECK(Reconnections().empty());
}

TEST_CASE("a one-letter selector examines that letter alone; only the low byte selects")
{
    Network network(Remembered('E', "\\\\files\\e") + ";" + Remembered('F', "\\\\files\\f") +
                    ";" + Remembered('G', "\\\\files\\g"));
    const CheckResult result = Check(0xABCD0000 | 'F');
    CHECK(result.status == 1);
    CHECK(result.Message() == MessageNaming("F"));
    CHECK(JournalLines() == std::vector<std::string>{"get F: 520", Reconnection('F', "\\\\files\\f")});
}

TEST_CASE("all 26 letters: a list of 76 bytes in a message of 118")
{
    std::string drives;
    std::string list;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        drives += Remembered(letter, std::string("\\\\files\\") + letter) + ";";
        list += (list.empty() ? "" : kSeparator) + std::string(1, letter);
    }
    Network network(drives);
    const CheckResult result = Check(kAllDrives);
    CHECK(result.status == 1);
    CHECK(list.size() == 76);
    CHECK(result.Message() == MessageNaming(list));
    CHECK(result.Message().size() == 118);
    CHECK(result.RestUntouched());
}

TEST_CASE("a remote name longer than the 520-byte buffer holds is skipped; 519 bytes still fit")
{
    const std::string fits = "\\\\files\\" + std::string(kRemoteNameBuffer - 1 - 8, 'x');
    const std::string tooLong = fits + "y";
    REQUIRE(fits.size() == kRemoteNameBuffer - 1);

    SUBCASE("as Windows answers: ERROR_MORE_DATA")
    {
        Network network(Remembered('E', tooLong) + ";" + Remembered('F', fits));
        const CheckResult result = Check(kAllDrives);
        CHECK(result.Message() == MessageNaming("F"));
        CHECK(Reconnections() == std::vector<std::string>{Reconnection('F', fits)});
    }
    SUBCASE("from a provider that fills the buffer without a terminator")
    {
        Network network("E:remembered-unterminated=" + tooLong);
        CHECK(Check(kAllDrives).status == 0);
        CHECK(Reconnections().empty());
    }
}
