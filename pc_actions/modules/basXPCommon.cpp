#include "basXPCommon.h"

#include "ansi_argument.h"
#include "binding_table.h"

namespace {

constexpr DWORD kGenericAll = GENERIC_ALL; // 0x10000000
constexpr wchar_t kInstanceMutex[] = L"Global\\Zeltran";

// Thresholds of bIsWindowsVersionOK: 9x major and minor, NT major, minor and
// service pack. No 9x release reaches 5.0.
struct WindowsVersion {
    DWORD major9x;
    DWORD minor9x;
    DWORD majorNt;
    DWORD minorNt;
    DWORD servicePackNt;
};
constexpr WindowsVersion kWindowsXP = {5, 0, 5, 1, 0};
constexpr WindowsVersion kWindowsVista = {5, 0, 6, 0, 0};

using NoArguments = LONG(WINAPI*)();
using OneText = LONG(WINAPI*)(LPSTR);

Long32 IsWindowsVersionOK(const WindowsVersion& version)
{
    using Fn = LONG(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD);
    return BoundFunction<Fn>(Api::bIsWindowsVersionOK)(version.major9x, version.minor9x,
                                                       version.majorNt, version.minorNt,
                                                       version.servicePackNt);
}

} // namespace

Long32 RunSetVeskaFolder()
{
    return BoundFunction<NoArguments>(Api::SetVeskaFolder)();
}

Long32 RunCheckVeskaFolder()
{
    return BoundFunction<NoArguments>(Api::CheckVeskaFolder)();
}

Long32 GrantUsersFullControl(std::wstring& folderPath)
{
    using Fn = LONG(WINAPI*)(LPSTR, DWORD);
    AnsiVariable path(folderPath);
    const Long32 result = BoundFunction<Fn>(Api::AddAccessRights)(path.Get(), kGenericAll);
    path.WriteBack();
    return result;
}

Long32 IsXpOrLater()
{
    return IsWindowsVersionOK(kWindowsXP);
}

Long32 IsInstanceRunning()
{
    AnsiText name(kInstanceMutex);
    return BoundFunction<OneText>(Api::DoIExist)(name.Get());
}

Long32 IsVistaOrLater()
{
    return IsWindowsVersionOK(kWindowsVista);
}

Long32 RunChkNetDrv(unsigned char& driveSelector, std::wstring& messageBuffer)
{
    using Fn = LONG(WINAPI*)(DWORD, LPSTR);
    const DWORD selectorSlot = driveSelector; // the low byte; the rest is not read
    AnsiVariable message(messageBuffer);
    const Long32 result = BoundFunction<Fn>(Api::ChkNetDrv)(selectorSlot, message.Get());
    message.WriteBack();
    return result;
}

Long32 RunDelAppDataFile(std::wstring& fileName)
{
    AnsiVariable name(fileName);
    const Long32 result = BoundFunction<OneText>(Api::DelAppDataFile)(name.Get());
    name.WriteBack();
    return result;
}
