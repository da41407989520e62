#include "tree_walk.h"

#include "grant_backup.h"
#include "inherited_entries.h"
#include "kernel_handle.h"
#include "relative_open.h"
#include "vksvc.h"

#include <cstddef>
#include <cstring>

namespace {

// No tree on Windows is deeper: a path has at most 32,767 characters, and
// each level adds a backslash and a name.
const int kDeepest = 32767 / 2;
const int kFirstLevels = 16;
// One buffer for every listing's answers: room for hundreds of names.
const ULONG kQuerySize = 65536;
// Room for the path of any object below the named folder: the relative
// opens reach further than a path from the root could name.
const ULONG kLongestPath = 65536;

void* Allocate(SIZE_T size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void* Reallocate(void* block, SIZE_T size)
{
    return block == nullptr ? Allocate(size) : HeapReAlloc(GetProcessHeap(), 0, block, size);
}
void Free(void* block)
{
    if (block != nullptr)
        HeapFree(GetProcessHeap(), 0, block);
}

bool IsDotOrDotDot(const WCHAR* name, ULONG length)
{
    return name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.'));
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

// IDs of the objects walked so far: an object that a listing gives again
// under a later name (a walked folder renamed behind the walk) is walked
// once. Open addressing, at most three quarters full: 16 bytes a slot, so
// at most 43 bytes an object, 64 while the table grows.
class VisitedIds {
public:
    enum class Added { First, Again, NoRoom };

    VisitedIds() = default;
    ~VisitedIds() { Free(slots_); }
    VisitedIds(const VisitedIds&) = delete;
    VisitedIds& operator=(const VisitedIds&) = delete;

    // Unknown IDs (all zeros, the empty slot) never come here.
    Added Add(const ObjectId& id)
    {
        if ((count_ + 1) * 4 > capacity_ * 3 && !Grow())
            return Added::NoRoom;
        ObjectId& slot = SlotOf(slots_, capacity_, id);
        if (!IsEmpty(slot))
            return Added::Again;
        slot = id;
        ++count_;
        return Added::First;
    }

private:
    static const ULONG kFirstCapacity = 256;
    static const ULONG kMostCapacity = 0x04000000; // 1 GB of slots

    static bool IsEmpty(const ObjectId& id) { return id.low == 0 && id.high == 0; }
    static ULONG HashOf(const ObjectId& id)
    {
        ULONGLONG mixed = id.low ^ (id.high * 0x9E3779B97F4A7C15ULL);
        mixed = (mixed ^ (mixed >> 31)) * 0xBF58476D1CE4E5B9ULL;
        return static_cast<ULONG>(mixed ^ (mixed >> 32));
    }
    static ObjectId& SlotOf(ObjectId* slots, ULONG capacity, const ObjectId& id)
    {
        ULONG i = HashOf(id) & (capacity - 1);
        while (!IsEmpty(slots[i]) && (slots[i].low != id.low || slots[i].high != id.high))
            i = (i + 1) & (capacity - 1);
        return slots[i];
    }
    bool Grow()
    {
        const ULONG capacity = capacity_ == 0 ? kFirstCapacity : capacity_ * 2;
        if (capacity > kMostCapacity)
            return false;
        auto* slots = static_cast<ObjectId*>(
            HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, capacity * sizeof(ObjectId)));
        if (slots == nullptr)
            return false;
        for (ULONG i = 0; i < capacity_; ++i)
            if (!IsEmpty(slots_[i]))
                SlotOf(slots, capacity, slots_[i]) = slots_[i];
        Free(slots_);
        slots_ = slots;
        capacity_ = capacity;
        return true;
    }

    ObjectId* slots_ = nullptr;
    ULONG capacity_ = 0;
    ULONG count_ = 0;
};

// One name of a folder's listing as the walk keeps it until it is visited.
struct NameRecord {
    ULONG attributes;
    USHORT length; // characters
    WCHAR name[1];
};

ULONG RecordSize(ULONG length)
{
    return (static_cast<ULONG>(offsetof(NameRecord, name)) + length * sizeof(WCHAR) + 3) & ~3UL;
}

// A folder being walked: held, with its whole listing, read before any of
// its children was visited, its file ID (which its files' names point back
// to) and its new descriptor.
struct Level {
    HANDLE folder;
    PSECURITY_DESCRIPTOR descriptor;
    BYTE* names; // NameRecords
    ULONG used;
    ULONG next; // offset of the next name to visit
    LONGLONG id;
    bool idKnown;
    ULONG pathLength; // of its path below the named folder, for the backup
    ULONG write;      // the backup's number of its write; 0 for the named folder
};

class TreeWalk {
public:
    // With `audit`, nothing is written: what would be is counted there.
    // With `backup`, each object's DACL is kept there before it is written.
    TreeWalk(const SecurityApi& api, const FileApi& files, WalkCounts* audit,
             GrantBackup* backup = nullptr)
        : api_(api), files_(files), audit_(audit), backup_(backup),
          query_(static_cast<BYTE*>(Allocate(kQuerySize))),
          path_(backup ? static_cast<WCHAR*>(Allocate(kLongestPath * sizeof(WCHAR))) : nullptr)
    {
    }
    ~TreeWalk()
    {
        while (depth_ > 0)
            Leave();
        Free(levels_);
        Free(query_);
        Free(path_);
    }
    TreeWalk(const TreeWalk&) = delete;
    TreeWalk& operator=(const TreeWalk&) = delete;

    LONG Run(HANDLE folder, PSECURITY_DESCRIPTOR descriptor)
    {
        ObjectId id;
        if (query_ == nullptr || (backup_ != nullptr && path_ == nullptr) ||
            !Enter(folder, descriptor) ||
            (ObjectIdOf(files_, folder, id) && visited_.Add(id) == VisitedIds::Added::NoRoom))
            return kGrantWriteFailed;
        ListedName child;
        while (depth_ > 0) {
            if (NextChild(child))
                Visit(child);
            else
                Leave();
        }
        if (backup_ != nullptr && (!backup_->Flush() || backup_->Unwritten() > 0))
            notWritten_ = true;
        return leftLinked_ ? kGrantLinkRefused : notWritten_ ? kGrantWriteFailed : kGrantDone;
    }

private:
    Level& Top() { return levels_[depth_ - 1]; }

    // The root level's folder and descriptor belong to the caller.
    bool Enter(HANDLE folder, PSECURITY_DESCRIPTOR descriptor)
    {
        if (depth_ == kDeepest || (depth_ == levelRoom_ && !GrowLevels()))
            return false;
        Level& level = levels_[depth_++];
        level = {folder,         descriptor, nullptr, 0, 0, 0, false,
                 depth_ > 1 ? childPathLength_ : 0, depth_ > 1 ? childWrite_ : 0};
        level.idKnown = FileIdOf(files_, folder, level.id);
        ReadNames(level);
        return true;
    }
    void Leave()
    {
        Level& level = Top();
        Free(level.names);
        if (depth_ > 1 && (backup_ == nullptr || !backup_->HandOver(level.write))) {
            CloseHandle(level.folder);
            api_.destroyPrivateObjectSecurity(&level.descriptor);
        }
        --depth_;
    }
    bool GrowLevels()
    {
        const int room = levelRoom_ == 0 ? kFirstLevels
                                         : (levelRoom_ * 2 < kDeepest ? levelRoom_ * 2 : kDeepest);
        auto* levels = static_cast<Level*>(Reallocate(levels_, sizeof(Level) * room));
        if (levels == nullptr)
            return false;
        levels_ = levels;
        levelRoom_ = room;
        return true;
    }

    // The folder's whole listing through its handle, "." and ".." left out.
    // A listing that fails otherwise than by running out leaves children
    // unreached; the names it gave are still visited.
    void ReadNames(Level& level)
    {
        ULONG room = 0;
        for (;;) {
            IO_STATUS_BLOCK io = {};
            const NTSTATUS status = files_.queryDirectory(
                level.folder, nullptr, nullptr, nullptr, &io, query_, kQuerySize,
                nt::kFileDirectoryInformation, FALSE, nullptr, FALSE);
            if (!nt::Succeeded(status)) {
                if (status != nt::kNoMoreFiles)
                    NotReached();
                break;
            }
            if (!KeepNames(level, room)) {
                NotReached();
                break;
            }
        }
        // The unused room goes back at once: a deep tree holds a listing
        // for each folder on its way down.
        if (level.used < room)
            if (void* names = HeapReAlloc(GetProcessHeap(), HEAP_REALLOC_IN_PLACE_ONLY,
                                          level.names, level.used == 0 ? 1 : level.used))
                level.names = static_cast<BYTE*>(names);
    }

    // Adds the names of one answer of the listing to the level's. False
    // when there is no room for them.
    bool KeepNames(Level& level, ULONG& room)
    {
        for (ULONG offset = 0;;) {
            const auto* entry = reinterpret_cast<const nt::DirectoryEntry*>(query_ + offset);
            const ULONG length = entry->FileNameLength / sizeof(WCHAR);
            if (length == 0 || length >= sizeof ListedName().name / sizeof(WCHAR))
                NotReached();
            else if (!IsDotOrDotDot(entry->FileName, length)) {
                const ULONG size = RecordSize(length);
                if (level.used + size > room) {
                    const ULONG grown = room == 0 ? 4096 : room * 2;
                    BYTE* names = static_cast<BYTE*>(Reallocate(level.names, grown));
                    if (names == nullptr)
                        return false;
                    level.names = names;
                    room = grown;
                }
                auto* record = reinterpret_cast<NameRecord*>(level.names + level.used);
                record->attributes = entry->FileAttributes;
                record->length = static_cast<USHORT>(length);
                std::memcpy(record->name, entry->FileName, length * sizeof(WCHAR));
                level.used += size;
            }
            if (entry->NextEntryOffset == 0)
                return true;
            offset += entry->NextEntryOffset;
        }
    }

    // The top folder's next name in the order of its listing.
    bool NextChild(ListedName& child)
    {
        Level& level = Top();
        if (level.next >= level.used)
            return false;
        const auto* record = reinterpret_cast<const NameRecord*>(level.names + level.next);
        level.next += RecordSize(record->length);
        std::memcpy(child.name, record->name, record->length * sizeof(WCHAR));
        child.name[record->length] = L'\0';
        child.length = record->length;
        child.attributes = record->attributes;
        return true;
    }

    // One child of the top folder: opened by its name from the folder's
    // handle, checked through its own, written through the same handle, and
    // entered when it is a folder.
    void Visit(const ListedName& child)
    {
        KernelHandle object;
        const Opened opened = OpenListed(files_, Top().folder, child,
                                         audit_ ? kAuditRights : kObjectRights, object);
        switch (opened) {
        case Opened::Object:
        case Opened::Provided:
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
        // Each name of a file with several is left, and counted, as before.
        const bool isFolder = IsFolder(child.attributes);
        ObjectId id;
        if ((!isFolder && !HasOnlyListedName(object.Get(), child)) ||
            !IsFirstVisit(object.Get(), id))
            return;
        PrivateDescriptor computed(api_);
        if (!PassDownTo(object, isFolder, computed, child, id) || !isFolder)
            return;
        // A provider fills such a folder when it is listed: entering it
        // may wait on the provider, or fetch what was not on this PC.
        if (opened == Opened::Provided) {
            if (audit_)
                ++audit_->unentered;
            GiveToBackup(object, computed);
            return;
        }
        if (!Enter(object.Get(), computed.Get())) {
            NotReached();
            GiveToBackup(object, computed);
            return;
        }
        object.Release();
        computed.Release();
    }

    // A folder not entered whose write still waits in the backup's batch:
    // the batch takes its handle and descriptor.
    void GiveToBackup(KernelHandle& object, PrivateDescriptor& computed)
    {
        if (backup_ != nullptr && backup_->HandOver(childWrite_)) {
            object.Release();
            computed.Release();
        }
    }

    // False when the object was walked before, under another name, or its
    // ID is unknown: then nothing tells whether it was.
    bool IsFirstVisit(HANDLE object, ObjectId& id)
    {
        const VisitedIds::Added added =
            ObjectIdOf(files_, object, id) ? visited_.Add(id) : VisitedIds::Added::NoRoom;
        if (added == VisitedIds::Added::NoRoom)
            NotReached();
        return added == VisitedIds::Added::First;
    }

    // What the top folder passes down, written to one object of it. True
    // when it was written and passes on below it (its DACL not protected).
    bool PassDownTo(KernelHandle& object, bool isFolder, PrivateDescriptor& computed,
                    const ListedName& child, const ObjectId& id)
    {
        bool isProtected = false;
        if (!Compute(object.Get(), isFolder, computed, isProtected)) {
            NotReached();
            return false;
        }
        // Windows' propagation stops where a DACL is protected.
        if (isProtected) {
            if (audit_)
                ++audit_->protectedDacls;
            return false;
        }
        if (backup_ != nullptr)
            return KeepThenWrite(object, isFolder, computed, child, id);
        return Write(object.Get(), computed.Get());
    }

    // The object's DACL kept before it is written: its write waits for its
    // batch's flush, after its folder's, and is not made when that failed.
    bool KeepThenWrite(KernelHandle& object, bool isFolder, PrivateDescriptor& computed,
                       const ListedName& child, const ObjectId& id)
    {
        const ULONG above = Top().pathLength;
        const ULONG start = above == 0 ? 0 : above + 1;
        if (start + child.length >= kLongestPath) {
            NotReached();
            return false;
        }
        if (above != 0)
            path_[above] = L'\\';
        std::memcpy(path_ + start, child.name, child.length * sizeof(WCHAR));
        childPathLength_ = start + child.length;
        if (!backup_->Keep(path_, childPathLength_, id, current_.Get())) {
            NotReached();
            return false;
        }
        if (!isFolder) {
            backup_->WriteLater(object.Release(), computed.Release(), Top().write, true);
            return false;
        }
        childWrite_ = backup_->WriteLater(object.Get(), computed.Get(), Top().write, false);
        return true;
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
    GrantBackup* const backup_;
    BYTE* const query_;
    WCHAR* const path_; // of the object visited, below the named folder
    ULONG childPathLength_ = 0;
    ULONG childWrite_ = 0; // the backup's number of the folder's write, to enter it with
    Level* levels_ = nullptr;
    int levelRoom_ = 0;
    VisitedIds visited_;
    DescriptorBuffer current_;
    int depth_ = 0;
    bool leftLinked_ = false;
    bool notWritten_ = false;
};

} // namespace

LONG PassDownBelow(const SecurityApi& api, const FileApi& files, HANDLE folder,
                   PSECURITY_DESCRIPTOR folderDescriptor, GrantBackup* backup)
{
    TreeWalk walk(api, files, nullptr, backup);
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
