// Reconnection of remembered network drives that an elevated process does not
// see connected.
#include "ansi_text.h"
#include "vksvc.h"

#include <winnetwk.h>

#include <cstring>

namespace {

const char kAllDrives = '1';
const DWORD kRemoteNameBuffer = 520;
const size_t kDriveListBuffer = 100;
const char kListSeparator[] = "，";
const size_t kMessageBuffer = 119;
const char kMessageFormat[] = "管理者承認モードで%sドライブに接続しました。";

// Connects `letter` again when it is remembered but not connected.
bool Reconnect(char letter)
{
    char localName[3] = {letter, ':', '\0'};
    char remoteName[kRemoteNameBuffer];
    std::memset(remoteName, 0, sizeof remoteName);
    DWORD length = kRemoteNameBuffer;
    if (WNetGetConnectionA(localName, remoteName, &length) != ERROR_CONNECTION_UNAVAIL)
        return false;
    // A name that filled the whole buffer without its terminator is not one:
    // cut short, it would name another share.
    if (remoteName[kRemoteNameBuffer - 1] != '\0' || remoteName[0] == '\0')
        return false;

    NETRESOURCEA resource;
    std::memset(&resource, 0, sizeof resource);
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = localName;
    resource.lpRemoteName = remoteName;
    resource.lpProvider = nullptr;
    return WNetAddConnection2A(&resource, nullptr, nullptr, CONNECT_UPDATE_PROFILE) == NO_ERROR;
}

// False when the letter did not fit; the list is then as it was.
bool AppendLetter(char* driveList, char letter)
{
    const size_t used = std::strlen(driveList);
    if (used == 0)
        return FormatInto(driveList, kDriveListBuffer, "%c", letter);
    return FormatInto(driveList + used, kDriveListBuffer - used, "%s%c", kListSeparator, letter);
}

} // namespace

LONG WINAPI ChkNetDrv(DWORD driveSelector, LPSTR message)
{
    const char selector = static_cast<char>(driveSelector & 0xFF);
    const char first = selector == kAllDrives ? 'A' : selector;
    const char last = selector == kAllDrives ? 'Z' : selector;

    char driveList[kDriveListBuffer] = {};
    bool listed = true;
    for (int letter = first; letter <= last; ++letter)
        if (Reconnect(static_cast<char>(letter)))
            listed = AppendLetter(driveList, static_cast<char>(letter)) && listed;

    // A message that names fewer drives than were connected would mislead:
    // none is given then (26 letters always fit, so this guards a change of
    // the texts).
    if (driveList[0] == '\0' || !listed)
        return 0;
    // At most 118 bytes and the terminator: the caller's buffer holds 1024.
    return FormatInto(message, kMessageBuffer, kMessageFormat, driveList) ? 1 : 0;
}
