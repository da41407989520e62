// Prints the Windows version this process is told at its start:
//   PLATFORM MAJOR.MINOR [SERVICE PACK TEXT]
// Tests run it after changing the version, to confirm what Wine reports.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main()
{
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return 1;
    std::printf("%lu %lu.%lu [%s]\n", version.dwPlatformId, version.dwMajorVersion,
                version.dwMinorVersion, version.szCSDVersion);
    return 0;
}
