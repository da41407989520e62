// A stand-in for mpr.dll whose network drives a test describes in the
// environment variable VK_FAKE_MPR, one drive per entry, separated by ';':
//
//   LETTER:STATE=REMOTE    for instance  E:remembered=\\files\e
//
//   connected               connected now (WNetGetConnectionA succeeds)
//   remembered              remembered but not connected (1201); reconnects
//   offline                 remembered but not connected; its server does not
//                           answer, so reconnecting fails (ERROR_BAD_NETPATH)
//   remembered-unterminated as "remembered", but the name is written without
//                           a terminator when it fills the caller's buffer, as
//                           a faulty network provider might
//
// A letter that is not described is no network drive (ERROR_NOT_CONNECTED).
// As Windows does, WNetGetConnectionA answers ERROR_MORE_DATA, and the size
// needed, when the remote name does not fit the caller's buffer.
//
// Every call is written to a journal that the test reads with
// FakeMprJournal, one line per call.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const wchar_t kVariable[] = L"VK_FAKE_MPR";
const DWORD kVariableSize = 32768;

enum class DriveState { None, Connected, Remembered, Offline, RememberedUnterminated };

struct StateName {
    const char* name;
    DriveState state;
};

const StateName kStates[] = {
    {"connected", DriveState::Connected},
    {"remembered", DriveState::Remembered},
    {"offline", DriveState::Offline},
    {"remembered-unterminated", DriveState::RememberedUnterminated},
};

struct Drive {
    DriveState state = DriveState::None;
    std::string remote;
};

std::string g_journal;

std::string Description()
{
    // Read wide and converted here: Wine's GetEnvironmentVariableA cuts a
    // value short by one byte per double-byte character.
    std::wstring wide(kVariableSize, L'\0');
    const DWORD length = GetEnvironmentVariableW(kVariable, &wide[0], kVariableSize);
    if (length == 0 || length >= kVariableSize)
        return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(length),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(length), &text[0], size,
                        nullptr, nullptr);
    return text;
}

DriveState StateNamed(const std::string& name)
{
    for (const StateName& entry : kStates)
        if (name == entry.name)
            return entry.state;
    return DriveState::None;
}

// The description of `letter`, read afresh at every call.
Drive DriveOf(char letter)
{
    const std::string description = Description();
    size_t start = 0;
    while (start < description.size()) {
        size_t end = description.find(';', start);
        if (end == std::string::npos)
            end = description.size();
        const std::string entry = description.substr(start, end - start);
        const size_t equals = entry.find('=');
        if (entry.size() > 2 && entry[0] == letter && entry[1] == ':' &&
            equals != std::string::npos)
            return {StateNamed(entry.substr(2, equals - 2)), entry.substr(equals + 1)};
        start = end + 1;
    }
    return {};
}

std::string Text(const char* text) { return text == nullptr ? "(null)" : text; }

void Note(const std::string& line) { g_journal += line + "\n"; }

} // namespace

extern "C" DWORD WINAPI WNetGetConnectionA(LPCSTR localName, LPSTR remoteName, LPDWORD length)
{
    Note("get " + Text(localName) + " " + std::to_string(*length));
    if (localName == nullptr || std::strlen(localName) != 2 || localName[1] != ':')
        return ERROR_BAD_DEVICE;
    const Drive drive = DriveOf(localName[0]);
    if (drive.state == DriveState::None)
        return ERROR_NOT_CONNECTED;
    const DWORD needed = static_cast<DWORD>(drive.remote.size() + 1);
    if (drive.state == DriveState::RememberedUnterminated && needed > *length) {
        std::memcpy(remoteName, drive.remote.data(), *length);
        return ERROR_CONNECTION_UNAVAIL;
    }
    if (needed > *length) {
        *length = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(remoteName, drive.remote.c_str(), needed);
    return drive.state == DriveState::Connected ? NO_ERROR : ERROR_CONNECTION_UNAVAIL;
}

extern "C" DWORD WINAPI WNetAddConnection2A(LPNETRESOURCEA resource, LPCSTR password,
                                            LPCSTR userName, DWORD flags)
{
    Note("add " + Text(resource->lpLocalName) + " " + Text(resource->lpRemoteName) +
         " type=" + std::to_string(resource->dwType) + " provider=" +
         Text(resource->lpProvider) + " password=" + Text(password) + " user=" +
         Text(userName) + " flags=" + std::to_string(flags));
    const Drive drive = DriveOf(resource->lpLocalName ? resource->lpLocalName[0] : '\0');
    if (drive.state == DriveState::Offline)
        return ERROR_BAD_NETPATH;
    return NO_ERROR;
}

extern "C" const char* WINAPI FakeMprJournal() { return g_journal.c_str(); }

extern "C" void WINAPI FakeMprClearJournal() { g_journal.clear(); }
