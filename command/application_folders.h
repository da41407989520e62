// The applications' folders as the library's grant reaches them, listed by
// the library's own code (linked in): the ini files' folders that exist and
// the two fixed folders, in the grant's order, each with its labels.
#pragma once

#include <string>
#include <vector>

struct ApplicationFolder {
    std::string ansiPath; // as the library and the history log have it
    std::wstring path;
    std::wstring success; // the labels of its record
    std::wstring failure;
    bool missing;         // \VESKAEX, which the grant makes
    long unreadable;      // kFileUsable; else `path` is an ini file that could
                          // not be read, and why
};

std::vector<ApplicationFolder> ListApplicationFolders();

// What the command line says of an ini file that could not be read.
std::wstring UnreadableText(const std::wstring& label, long failure);

// Whether the library grants the path at all: only on a local fixed drive
// whose file system keeps ACLs; elsewhere it neither grants nor records.
bool IsOnFixedAclDrive(const std::string& ansiPath);
