#include "version_probe.h"

#include "vksvc.h"

#include <cctype>
#include <cstring>

namespace {

bool IsAtLeast(DWORD major, DWORD minor, DWORD wantMajor, DWORD wantMinor)
{
    if (major != wantMajor)
        return major > wantMajor;
    return minor >= wantMinor;
}

OSVERSIONINFOA QueryVersion()
{
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    // A failed query leaves platform 0, which answers every question with "no".
    GetVersionExA(&version);
    return version;
}

LONG AsStatus(bool answer) { return answer ? 1 : 0; }

} // namespace

// Scans `text` as sscanf does with the format "Service Pack %d": a blank of
// the format matches any run of white space, even none; %d skips white space
// and takes an optional sign and at least one digit.
unsigned ServicePackNumber(const char* text)
{
    const auto skipSpace = [&text] {
        while (std::isspace(static_cast<unsigned char>(*text)))
            ++text;
    };
    static const char* const kWords[] = {"Service", "Pack"};
    for (const char* word : kWords) {
        // Only the blank between the words skips white space: text that
        // starts with a blank does not match "Service".
        if (word != kWords[0])
            skipSpace();
        for (; *word != '\0'; ++word, ++text)
            if (*text != *word)
                return 0;
    }
    skipSpace();
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    if (!std::isdigit(static_cast<unsigned char>(*text)))
        return 0;
    unsigned number = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
        number = number * 10 + static_cast<unsigned>(*text - '0');
    return negative ? 0u - number : number;
}

bool IsVersionAtLeast(const OSVERSIONINFOA& version, const VersionThreshold& threshold)
{
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return IsAtLeast(version.dwMajorVersion, version.dwMinorVersion,
                         threshold.major9x, threshold.minor9x);
    case VER_PLATFORM_WIN32_NT:
        if (version.dwMajorVersion != threshold.majorNt)
            return version.dwMajorVersion > threshold.majorNt;
        if (version.dwMinorVersion != threshold.minorNt)
            return version.dwMinorVersion > threshold.minorNt;
        return ServicePackNumber(version.szCSDVersion) >= threshold.servicePackNt;
    default:
        return false;
    }
}

LONG WINAPI bIsWindowsVersionOK(DWORD major9x, DWORD minor9x, DWORD majorNt, DWORD minorNt,
                                DWORD servicePackNt)
{
    // Only the low 16 bits of the service-pack argument carry a value.
    const VersionThreshold threshold = {major9x, minor9x, majorNt, minorNt,
                                        static_cast<WORD>(servicePackNt & 0xFFFF)};
    return AsStatus(IsVersionAtLeast(QueryVersion(), threshold));
}

LONG WINAPI bIsWindowsXP() { return bIsWindowsVersionOK(5, 0, 5, 1, 0); }
LONG WINAPI bIsWindows2003() { return bIsWindowsVersionOK(5, 0, 5, 2, 0); }
LONG WINAPI bIsWindowsVista() { return bIsWindowsVersionOK(5, 0, 6, 0, 0); }
