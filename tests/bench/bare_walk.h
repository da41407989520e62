// A bare walk of a tree, the yardstick of the grant's and the audit's cost:
// opens each object once, without following links, reads its file
// information, and counts it.
#pragma once

#include <string>

long BareWalk(const std::wstring& folder); // folder as "\\?\C:\..."
