#pragma once

#include "history_log.h"
#include "runtime_library.h"

// SetVeskaFolder's work: grants every folder that the applications' ini
// files and the two fixed folders name and that exists, and records each
// grant in the history log. The security functions are bound from
// advapi32.dll through `loader`.
void GrantVeskaFolders(const LibraryLoader& loader);

// Each folder that SetVeskaFolder reaches, in its order, with the label of
// its record.
class VeskaFolderVisitor {
public:
    // A folder that exists.
    virtual void Existing(const char* folder, const GrantLabel& label) = 0;
    // \VESKAEX, missing beside an existing \VESKADAT: the grant makes it,
    // and grants it when it could.
    virtual void Missing(const char* folder, const GrantLabel& label) = 0;

protected:
    ~VeskaFolderVisitor() = default;
};

void VisitVeskaFolders(VeskaFolderVisitor& visitor);
