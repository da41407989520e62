#include "tree_walk.h"

#include "kernel_handle.h"
#include "relative_open.h"
#include "vksvc.h"

#include <cstring>

namespace {

// What the computation takes from the object's current descriptor.
const SECURITY_INFORMATION kCreatorParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
// Inherited entries recomputed from the parent, explicit ones kept; the
// owner is whoever owns the object now, not someone the token may assign.
const ULONG kPropagation = SEF_DACL_AUTO_INHERIT | SEF_AVOID_OWNER_CHECK |
                           SEF_AVOID_PRIVILEGE_CHECK;
GENERIC_MAPPING kFileMapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                FILE_ALL_ACCESS};

// No tree on Windows is deeper: a path has at most 32,767 characters, and
// each level adds a backslash and a name.
const int kDeepest = 32767 / 2;
// One listing per level, refilled as the walk goes on: room for several
// names of the longest kind.
const ULONG kListingSize = 4096;
const ULONG kRefill = 0xFFFFFFFF;

bool IsDotOrDotDot(const ListedName& name)
{
    return name.name[0] == L'.' &&
           (name.length == 1 || (name.length == 2 && name.name[1] == L'.'));
}

// A descriptor that CreatePrivateObjectSecurityEx made.
class PrivateDescriptor {
public:
    explicit PrivateDescriptor(const SecurityApi& api) : api_(api) {}
    ~PrivateDescriptor()
    {
        if (descriptor_ != nullptr)
            api_.destroyPrivateObjectSecurity(&descriptor_);
    }
    PrivateDescriptor(const PrivateDescriptor&) = delete;
    PrivateDescriptor& operator=(const PrivateDescriptor&) = delete;
    PSECURITY_DESCRIPTOR* Receive() { return &descriptor_; }
    PSECURITY_DESCRIPTOR Get() const { return descriptor_; }
    PSECURITY_DESCRIPTOR Release()
    {
        const PSECURITY_DESCRIPTOR descriptor = descriptor_;
        descriptor_ = nullptr;
        return descriptor;
    }

private:
    const SecurityApi& api_;
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// A folder being walked: held, with its listing so far, its file ID (which
// its files' names point back to) and its new descriptor.
struct Level {
    HANDLE folder;
    PSECURITY_DESCRIPTOR descriptor;
    BYTE* listing;
    ULONG next; // offset of the next entry, or kRefill
    LONGLONG id;
    bool idKnown;
};

void* Allocate(SIZE_T size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void Free(void* block) { HeapFree(GetProcessHeap(), 0, block); }

class TreeWalk {
public:
    // With `audit`, nothing is written: what would be is counted there.
    TreeWalk(const SecurityApi& api, const FileApi& files, WalkCounts* audit)
        : api_(api), files_(files), audit_(audit),
          levels_(static_cast<Level*>(Allocate(sizeof(Level) * kDeepest)))
    {
    }
    ~TreeWalk()
    {
        while (depth_ > 0)
            Leave();
        if (levels_ != nullptr)
            Free(levels_);
    }
    TreeWalk(const TreeWalk&) = delete;
    TreeWalk& operator=(const TreeWalk&) = delete;

    LONG Run(HANDLE folder, PSECURITY_DESCRIPTOR descriptor)
    {
        if (levels_ == nullptr || !Enter(folder, descriptor))
            return kGrantWriteFailed;
        ListedName child;
        while (depth_ > 0) {
            if (NextChild(child))
                Visit(child);
            else
                Leave();
        }
        return leftLinked_ ? kGrantLinkRefused : notWritten_ ? kGrantWriteFailed : kGrantDone;
    }

private:
    Level& Top() { return levels_[depth_ - 1]; }

    // The root level's folder and descriptor belong to the caller.
    bool Enter(HANDLE folder, PSECURITY_DESCRIPTOR descriptor)
    {
        BYTE* listing = static_cast<BYTE*>(Allocate(kListingSize));
        if (listing == nullptr)
            return false;
        Level& level = levels_[depth_++];
        level = {folder, descriptor, listing, kRefill, 0, false};
        level.idKnown = FileIdOf(files_, folder, level.id);
        return true;
    }
    void Leave()
    {
        Level& level = Top();
        Free(level.listing);
        if (depth_ > 1) {
            CloseHandle(level.folder);
            api_.destroyPrivateObjectSecurity(&level.descriptor);
        }
        --depth_;
    }

    // The top folder's next child other than "." and "..", listed through
    // its handle. A listing that fails otherwise than by running out leaves
    // children unreached.
    bool NextChild(ListedName& child)
    {
        Level& level = Top();
        for (;;) {
            if (level.next == kRefill) {
                IO_STATUS_BLOCK io = {};
                const NTSTATUS status = files_.queryDirectory(
                    level.folder, nullptr, nullptr, nullptr, &io, level.listing, kListingSize,
                    nt::kFileDirectoryInformation, FALSE, nullptr, FALSE);
                if (!nt::Succeeded(status)) {
                    if (status != nt::kNoMoreFiles)
                        NotReached();
                    return false;
                }
                level.next = 0;
            }
            const auto* entry = reinterpret_cast<const nt::DirectoryEntry*>(level.listing + level.next);
            level.next = entry->NextEntryOffset != 0 ? level.next + entry->NextEntryOffset : kRefill;
            const ULONG length = entry->FileNameLength / sizeof(WCHAR);
            if (length == 0 || length >= sizeof child.name / sizeof child.name[0]) {
                NotReached();
                continue;
            }
            std::memcpy(child.name, entry->FileName, length * sizeof(WCHAR));
            child.name[length] = L'\0';
            child.length = static_cast<USHORT>(length);
            child.attributes = entry->FileAttributes;
            if (!IsDotOrDotDot(child))
                return true;
        }
    }

    // One child of the top folder: opened by its name from the folder's
    // handle, checked through its own, written through the same handle, and
    // entered when it is a folder.
    void Visit(const ListedName& child)
    {
        KernelHandle object;
        switch (OpenListed(files_, Top().folder, child, audit_ ? kAuditRights : kObjectRights,
                           object)) {
        case Opened::Object:
            break;
        case Opened::Link:
            LeaveLinked(&WalkCounts::links);
            return;
        case Opened::Vanished:
            return;
        default:
            NotReached();
            return;
        }
        const bool isFolder = IsFolder(child.attributes);
        if (!isFolder && !HasOnlyListedName(object.Get(), child))
            return;
        PrivateDescriptor computed(api_);
        bool isProtected = false;
        if (!Compute(object.Get(), isFolder, computed, isProtected)) {
            NotReached();
            return;
        }
        // Windows' propagation stops where a DACL is protected.
        if (isProtected) {
            if (audit_)
                ++audit_->protectedDacls;
            return;
        }
        if (!Write(object.Get(), computed.Get()) || !isFolder)
            return;
        if (depth_ == kDeepest || !Enter(object.Get(), computed.Get())) {
            NotReached();
            return;
        }
        object.Release();
        computed.Release();
    }

    // Writes the computed descriptor; an audit counts the object when that
    // would change its DACL. False when the write failed.
    bool Write(HANDLE object, PSECURITY_DESCRIPTOR computed)
    {
        if (audit_) {
            if (!SameEntries(DaclOf(api_, current_.Get()), DaclOf(api_, computed)))
                ++audit_->due;
            return true;
        }
        if (api_.setObjectSecurity(object, DACL_SECURITY_INFORMATION, computed))
            return true;
        notWritten_ = true;
        return false;
    }

    void LeaveLinked(long WalkCounts::*kind)
    {
        leftLinked_ = true;
        if (audit_)
            ++(audit_->*kind);
    }
    void NotReached()
    {
        notWritten_ = true;
        if (audit_)
            ++audit_->unreached;
    }

    // A file that another name reaches, outside the tree perhaps, is left
    // alone; so is one whose names cannot be told.
    bool HasOnlyListedName(HANDLE file, const ListedName& child)
    {
        const Names names =
            Top().idKnown ? NamesOf(files_, file, Top().id, child) : Names::Unchecked;
        if (names == Names::Other)
            LeaveLinked(&WalkCounts::otherNames);
        else if (names == Names::Unchecked)
            NotReached();
        return names == Names::One;
    }

    // The object's new descriptor from its parent's, its own explicit
    // entries kept. Never one without a DACL or with a NULL one: that would
    // let everyone do everything.
    bool Compute(HANDLE object, bool isFolder, PrivateDescriptor& computed, bool& isProtected)
    {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        if (!current_.Read(api_, object, kCreatorParts) ||
            !api_.getSecurityDescriptorControl(current_.Get(), &control, &revision))
            return false;
        isProtected = (control & SE_DACL_PROTECTED) != 0;
        if (isProtected)
            return true;
        return api_.createPrivateObjectSecurityEx(Top().descriptor, current_.Get(),
                                                  computed.Receive(), nullptr, isFolder,
                                                  kPropagation, nullptr, &kFileMapping) &&
               DaclOf(api_, computed.Get()) != nullptr;
    }

    const SecurityApi& api_;
    const FileApi& files_;
    WalkCounts* const audit_;
    Level* levels_;
    DescriptorBuffer current_;
    int depth_ = 0;
    bool leftLinked_ = false;
    bool notWritten_ = false;
};

} // namespace

LONG PassDownBelow(const SecurityApi& api, const FileApi& files, HANDLE folder,
                   PSECURITY_DESCRIPTOR folderDescriptor)
{
    TreeWalk walk(api, files, nullptr);
    return walk.Run(folder, folderDescriptor);
}

void AuditBelow(const SecurityApi& api, const FileApi& files, HANDLE folder,
                PSECURITY_DESCRIPTOR folderDescriptor, WalkCounts& counts)
{
    counts = WalkCounts();
    TreeWalk walk(api, files, &counts);
    if (walk.Run(folder, folderDescriptor) == kGrantWriteFailed && counts.unreached == 0)
        ++counts.unreached; // no room to walk at all
}
