#include "dacl_restore.h"

#include "backup_folder.h"
#include "held_path.h"
#include "inherited_entries.h"
#include "relative_open.h"
#include "vksvc.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>

namespace {

const int kDeepest = 32767 / 2;
const ULONG kListingSize = 4096;
const ULONG kRefill = 0xFFFFFFFF;
const ULONG kLongestPath = 65536;

// The functions bound, for as long as the restore or the listing runs.
struct Bound {
    explicit Bound(const LibraryLoader& loader)
        : advapi(loader, "advapi32.dll"), ntdll(loader, "ntdll.dll")
    {
        ok = advapi.IsLoaded() && ntdll.IsLoaded() && api.Bind(advapi) && files.Bind(ntdll) &&
             backupApi.Bind(advapi, ntdll);
    }
    LoadedLibrary advapi;
    LoadedLibrary ntdll;
    SecurityApi api = {};
    FileApi files = {};
    BackupApi backupApi = {};
    bool ok = false;
};

// The descriptor an object was given: its saved one (LocalAlloc'd by the
// SDDL conversion) or one computed for it.
class GivenDescriptor {
public:
    explicit GivenDescriptor(const SecurityApi& api) : api_(api) {}
    ~GivenDescriptor() { Reset(); }
    GivenDescriptor(const GivenDescriptor&) = delete;
    GivenDescriptor& operator=(const GivenDescriptor&) = delete;

    PSECURITY_DESCRIPTOR Get() const { return descriptor_; }
    PSECURITY_DESCRIPTOR* ReceiveSaved() { Reset(); computed_ = false; return &descriptor_; }
    PSECURITY_DESCRIPTOR* ReceiveComputed() { Reset(); computed_ = true; return &descriptor_; }
    void MoveTo(PSECURITY_DESCRIPTOR& descriptor, bool& computed)
    {
        descriptor = descriptor_;
        computed = computed_;
        descriptor_ = nullptr;
    }
    void Reset()
    {
        if (descriptor_ == nullptr)
            return;
        if (computed_)
            api_.destroyPrivateObjectSecurity(&descriptor_);
        else
            LocalFree(descriptor_);
        descriptor_ = nullptr;
    }

private:
    const SecurityApi& api_;
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    bool computed_ = false;
};

struct Level {
    HANDLE folder;
    PSECURITY_DESCRIPTOR descriptor;
    bool computed;
    BYTE* listing;
    ULONG next;
    LONGLONG id;
    bool idKnown;
    ULONG pathLength;
};

bool SameId(const ObjectId& one, const ObjectId& other)
{
    return one.low == other.low && one.high == other.high;
}

class RestoreWalk {
public:
    RestoreWalk(const Bound& bound, BackupText& backup, RestoreCounts& counts)
        : api_(bound.api), files_(bound.files), backupApi_(bound.backupApi), backup_(backup),
          counts_(counts),
          levels_(static_cast<Level*>(HeapAlloc(GetProcessHeap(), 0, sizeof(Level) * kDeepest))),
          path_(static_cast<WCHAR*>(HeapAlloc(GetProcessHeap(), 0, kLongestPath * sizeof(WCHAR))))
    {
    }
    ~RestoreWalk()
    {
        while (depth_ > 0)
            Leave();
        if (levels_ != nullptr)
            HeapFree(GetProcessHeap(), 0, levels_);
        if (path_ != nullptr)
            HeapFree(GetProcessHeap(), 0, path_);
    }
    RestoreWalk(const RestoreWalk&) = delete;
    RestoreWalk& operator=(const RestoreWalk&) = delete;

    // The named folder, then what is below it.
    LONG Run(const HeldPath& held)
    {
        SavedObject* const itself = backup_.Find(kFolderItself, 1);
        ObjectId id;
        if (itself == nullptr || levels_ == nullptr || path_ == nullptr)
            return kGrantReadFailed;
        if (!ObjectIdOf(files_, held.Object(), id) || !SameId(id, itself->id))
            return kGrantLinkRefused;
        itself->reached = true;
        GivenDescriptor saved(api_);
        if (!WriteSaved(held.Object(), *itself, saved)) {
            ++counts_.failed;
            return kGrantDone;
        }
        ++counts_.restored;
        if (!held.IsFolder())
            return kGrantDone;
        if (!Enter(held.Object(), saved, 0))
            ++counts_.failed;
        ListedName child;
        while (depth_ > 0) {
            if (NextChild(child))
                Visit(child);
            else
                Leave();
        }
        return kGrantDone;
    }

private:
    Level& Top() { return levels_[depth_ - 1]; }

    // The root level's folder belongs to the caller.
    bool Enter(HANDLE folder, GivenDescriptor& descriptor, ULONG pathLength)
    {
        BYTE* listing = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, kListingSize));
        if (listing == nullptr || depth_ == kDeepest) {
            if (listing != nullptr)
                HeapFree(GetProcessHeap(), 0, listing);
            return false;
        }
        Level& level = levels_[depth_++];
        level = {folder, nullptr, false, listing, kRefill, 0, false, pathLength};
        descriptor.MoveTo(level.descriptor, level.computed);
        level.idKnown = FileIdOf(files_, folder, level.id);
        return true;
    }
    void Leave()
    {
        Level& level = Top();
        HeapFree(GetProcessHeap(), 0, level.listing);
        if (level.computed)
            api_.destroyPrivateObjectSecurity(&level.descriptor);
        else
            LocalFree(level.descriptor);
        if (depth_ > 1)
            CloseHandle(level.folder);
        --depth_;
    }

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
                        ++counts_.failed;
                    return false;
                }
                level.next = 0;
            }
            const auto* entry =
                reinterpret_cast<const nt::DirectoryEntry*>(level.listing + level.next);
            level.next = entry->NextEntryOffset != 0 ? level.next + entry->NextEntryOffset : kRefill;
            const ULONG length = entry->FileNameLength / sizeof(WCHAR);
            if (length == 0 || length >= sizeof child.name / sizeof child.name[0]) {
                ++counts_.failed;
                continue;
            }
            std::memcpy(child.name, entry->FileName, length * sizeof(WCHAR));
            child.name[length] = L'\0';
            child.length = static_cast<USHORT>(length);
            child.attributes = entry->FileAttributes;
            if (!(child.name[0] == L'.' && (length == 1 || (length == 2 && child.name[1] == L'.'))))
                return true;
        }
    }

    // One child: its saved DACL when it is the object saved under its path,
    // what its parent passes down when it was made after the grant, nothing
    // when another object or a link stands where a saved one was.
    void Visit(const ListedName& child)
    {
        const ULONG above = Top().pathLength;
        const ULONG start = above == 0 ? 0 : above + 1;
        if (start + child.length >= kLongestPath) {
            ++counts_.failed;
            return;
        }
        if (above != 0)
            path_[above] = L'\\';
        std::memcpy(path_ + start, child.name, child.length * sizeof(WCHAR));
        const ULONG pathLength = start + child.length;
        SavedObject* const saved = backup_.Find(path_, pathLength);
        if (saved != nullptr)
            saved->reached = true;

        KernelHandle object;
        switch (OpenListed(files_, Top().folder, child, kObjectRights, object)) {
        case Opened::Object:
        case Opened::Provided:
            break;
        case Opened::Link:
            // A link where a saved object was is left; one the grant left
            // alone stays so.
            if (saved != nullptr)
                ++counts_.left;
            return;
        case Opened::Vanished:
            if (saved != nullptr)
                saved->reached = false;
            return;
        default:
            ++counts_.failed;
            return;
        }
        const bool isFolder = IsFolder(child.attributes);
        GivenDescriptor given(api_);
        if (saved != nullptr) {
            ObjectId id;
            if (!ObjectIdOf(files_, object.Get(), id)) {
                ++counts_.failed;
                return;
            }
            if (!SameId(id, saved->id)) {
                ++counts_.left;
                return;
            }
            if (!WriteSaved(object.Get(), *saved, given)) {
                ++counts_.failed;
                return;
            }
            ++counts_.restored;
        } else {
            bool passedOn = false;
            if (!WriteInherited(object.Get(), child, isFolder, given, passedOn))
                return;
            if (!passedOn)
                return;
        }
        if (!isFolder)
            return;
        if (!Enter(object.Get(), given, pathLength)) {
            ++counts_.failed;
            return;
        }
        object.Release();
    }

    // Exactly the saved DACL and control bits, through the object's handle.
    // SetKernelObjectSecurity passes nothing on to the objects below, which
    // is why Microsoft advises against it for files, and why a restore uses
    // it: each object below gets its own saved DACL, not a recomputed one.
    // The same DACL written again changes nothing: a restore stopped halfway
    // can be run again.
    bool WriteSaved(HANDLE object, const SavedObject& saved, GivenDescriptor& given)
    {
        PSECURITY_DESCRIPTOR* descriptor = given.ReceiveSaved();
        return backupApi_.fromText(saved.dacl, SDDL_REVISION_1, descriptor, nullptr) &&
               DaclOf(api_, *descriptor) != nullptr &&
               api_.setSecurityDescriptorControl(*descriptor, kKeptControl, saved.control) &&
               api_.setObjectSecurity(object, DACL_SECURITY_INFORMATION, *descriptor);
    }

    // An object made after the grant: what its restored parent passes down,
    // its own explicit entries kept, as the grant computes it. Left alone,
    // as by the grant, when its DACL is protected or it is a file with
    // another name. `passedOn` when written and not protected.
    bool WriteInherited(HANDLE object, const ListedName& child, bool isFolder,
                        GivenDescriptor& given, bool& passedOn)
    {
        if (!isFolder) {
            const Names names =
                Top().idKnown ? NamesOf(files_, object, Top().id, child) : Names::Unchecked;
            if (names != Names::One) {
                counts_.failed += names == Names::Unchecked;
                return false;
            }
        }
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        if (!current_.Read(api_, object, kCreatorParts) ||
            !api_.getSecurityDescriptorControl(current_.Get(), &control, &revision)) {
            ++counts_.failed;
            return false;
        }
        if ((control & SE_DACL_PROTECTED) != 0)
            return true;
        if (!api_.createPrivateObjectSecurityEx(Top().descriptor, current_.Get(),
                                                given.ReceiveComputed(), nullptr, isFolder,
                                                kPropagation, nullptr, &kFileMapping) ||
            DaclOf(api_, given.Get()) == nullptr ||
            !api_.setObjectSecurity(object, DACL_SECURITY_INFORMATION, given.Get())) {
            ++counts_.failed;
            return false;
        }
        ++counts_.added;
        passedOn = true;
        return true;
    }

    const SecurityApi& api_;
    const FileApi& files_;
    const BackupApi& backupApi_;
    BackupText& backup_;
    RestoreCounts& counts_;
    Level* const levels_;
    WCHAR* const path_;
    DescriptorBuffer current_;
    int depth_ = 0;
};

// The folder as the grant named it, in the ANSI code page it came in.
bool AnsiPathOf(const WCHAR* folder, char (&ansi)[MAX_PATH])
{
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folder, -1, ansi,
                                           MAX_PATH, nullptr, &lossy);
    return length > 0 && !lossy;
}

} // namespace

LONG RestoreBackup(const LibraryLoader& loader, const WCHAR* name, RestoreCounts& counts)
{
    counts = RestoreCounts();
    const Bound bound(loader);
    if (!bound.ok)
        return kGrantApiMissing;
    BackupFolder folder(bound.api, bound.backupApi, bound.files);
    const LONG opened = folder.Open(false);
    if (opened != kGrantDone)
        return opened;
    KernelHandle file;
    if (!folder.OpenBackup(name, file))
        return kGrantReadFailed;
    BackupText backup;
    char ansi[MAX_PATH];
    if (!backup.Read(file.Get()) || !AnsiPathOf(backup.Folder(), ansi))
        return kGrantBackupRefused;
    HeldPath held;
    const LONG status = held.Open(bound.files, ansi, kObjectRights);
    if (status != kGrantDone)
        return status == kGrantLinkRefused ? kGrantLinkRefused : kGrantReadFailed;
    const LONG walked = RestoreWalk(bound, backup, counts).Run(held);
    if (walked != kGrantDone)
        return walked;
    for (ULONG i = 0; i < backup.Count(); ++i)
        counts.missing += backup.Objects()[i].reached ? 0 : 1;
    return kGrantDone;
}

LONG ListBackups(const LibraryLoader& loader, const WCHAR* folder, BackupVisitor& visitor)
{
    const Bound bound(loader);
    if (!bound.ok)
        return kGrantApiMissing;
    BackupFolder backups(bound.api, bound.backupApi, bound.files);
    const LONG opened = backups.Open(false);
    if (opened != kGrantDone)
        return opened;
    HeapBuffer list;
    ULONG count = 0;
    if (!backups.List(list, count))
        return kGrantReadFailed;
    const BackupName* const names = reinterpret_cast<const BackupName*>(list.Data());
    for (ULONG i = count; i-- > 0;) {
        KernelHandle file;
        BackupText text;
        if (!backups.OpenBackup(names[i].name, file) || !text.ReadHeader(file.Get(), folder == nullptr))
            continue;
        if (folder != nullptr && lstrcmpiW(text.Folder(), folder) != 0)
            continue;
        visitor.Backup({names[i].name, text.Folder(), text.Time(), folder == nullptr ? text.Count() : 0});
    }
    return kGrantDone;
}
