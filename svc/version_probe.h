#pragma once

#include <windows.h>

// Thresholds of one "at least this Windows" question, per platform family.
struct VersionThreshold {
    DWORD major9x;
    DWORD minor9x;
    DWORD majorNt;
    DWORD minorNt;
    WORD servicePackNt;
};

// Decides the question for a version record as GetVersionExA filled it.
bool IsVersionAtLeast(const OSVERSIONINFOA& version, const VersionThreshold& threshold);

// The number N of a service-pack text "Service Pack N"; 0 for any other text.
unsigned ServicePackNumber(const char* csdVersion);
