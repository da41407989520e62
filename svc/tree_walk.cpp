#include "tree_walk.h"

#include "vksvc.h"

#include <cstring>

namespace {

// Folders are held while their children are walked: with rights that take
// part in sharing (listing counts as reading) and without FILE_SHARE_DELETE,
// so that nobody can rename them and the path keeps leading to them.
const DWORD kFileAccess = READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES;
const DWORD kFolderAccess = kFileAccess | FILE_TRAVERSE | FILE_LIST_DIRECTORY;
const DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD kOpenItself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
// What the computation takes from the object's current descriptor.
const SECURITY_INFORMATION kCreatorParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
// Inherited entries recomputed from the parent, explicit ones kept; the
// owner is whoever owns the object now, not someone the token may assign.
const ULONG kPropagation = SEF_DACL_AUTO_INHERIT | SEF_AVOID_OWNER_CHECK |
                           SEF_AVOID_PRIVILEGE_CHECK;
GENERIC_MAPPING kFileMapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                FILE_ALL_ACCESS};

// The longest path the wide functions take, "\\?\" included; each level
// adds at least a backslash and one character.
const DWORD kLongestPath = 32767;
const int kDeepest = kLongestPath / 2;
const wchar_t kLongPrefix[4] = {L'\\', L'\\', L'?', L'\\'};

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool IsDotOrDotDot(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

bool Vanished(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE Get() const { return handle_; }
    HANDLE Release()
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }

private:
    HANDLE handle_;
};

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

// A folder being walked: held, with its search and its new descriptor.
struct Level {
    HANDLE folder;
    HANDLE search;
    PSECURITY_DESCRIPTOR descriptor;
    DWORD pathLength;
};

// The walk's memory, taken once: the current path and one level per folder
// on it. Kept off the stack, however deep a user makes the tree.
struct WalkMemory {
    wchar_t path[kLongestPath + 3];
    Level levels[kDeepest];
};

class TreeWalk {
public:
    explicit TreeWalk(const SecurityApi& api)
        : api_(api), memory_(static_cast<WalkMemory*>(
                         HeapAlloc(GetProcessHeap(), 0, sizeof(WalkMemory))))
    {
    }
    ~TreeWalk()
    {
        while (depth_ > 0)
            Leave();
        if (memory_ != nullptr)
            HeapFree(GetProcessHeap(), 0, memory_);
    }
    TreeWalk(const TreeWalk&) = delete;
    TreeWalk& operator=(const TreeWalk&) = delete;

    LONG Run(LPCSTR fullPath, const BY_HANDLE_FILE_INFORMATION& object,
             PSECURITY_DESCRIPTOR descriptor)
    {
        volume_ = object.dwVolumeSerialNumber;
        if (memory_ == nullptr || !StartPath(fullPath))
            return kGrantWriteFailed;
        // The object was held for its DACL, a right that takes no part in
        // sharing; held again to be listed, it cannot be renamed (and its
        // name given to a junction) while its children are reached by name.
        OwnedHandle root(CreateFileA(fullPath, kFolderAccess, kHeldSharing, nullptr,
                                     OPEN_EXISTING, kOpenItself, nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        if (root.Get() == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(root.Get(), &info))
            return kGrantWriteFailed;
        if (IsLink(info.dwFileAttributes) || info.dwVolumeSerialNumber != volume_ ||
            info.nFileIndexHigh != object.nFileIndexHigh ||
            info.nFileIndexLow != object.nFileIndexLow)
            return kGrantLinkRefused;
        Enter(root.Get(), descriptor);
        WIN32_FIND_DATAW found;
        while (depth_ > 0) {
            if (NextChild(found))
                Visit(found);
            else
                Leave();
        }
        return leftLinked_ ? kGrantLinkRefused : notWritten_ ? kGrantWriteFailed : kGrantDone;
    }

private:
    Level& Top() { return memory_->levels[depth_ - 1]; }

    // "\\?\" and the object's path, without a trailing backslash.
    bool StartPath(LPCSTR fullPath)
    {
        wchar_t* path = memory_->path;
        std::memcpy(path, kLongPrefix, sizeof kLongPrefix);
        const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, fullPath, -1,
                                               path + 4, MAX_PATH);
        if (length <= 1)
            return false;
        pathLength_ = static_cast<DWORD>(4 + length - 1);
        if (path[pathLength_ - 1] == L'\\')
            path[--pathLength_] = L'\0';
        return true;
    }

    // Cuts the path back to `length` characters, or adds "\name" to it.
    void CutPath(DWORD length)
    {
        pathLength_ = length;
        memory_->path[length] = L'\0';
    }
    bool AddToPath(const wchar_t* name)
    {
        const DWORD length = static_cast<DWORD>(lstrlenW(name));
        if (pathLength_ + 1 + length > kLongestPath)
            return false;
        memory_->path[pathLength_] = L'\\';
        std::memcpy(memory_->path + pathLength_ + 1, name, (length + 1) * sizeof(wchar_t));
        pathLength_ += 1 + length;
        return true;
    }

    // The root level's folder and descriptor belong to the caller.
    void Enter(HANDLE folder, PSECURITY_DESCRIPTOR descriptor)
    {
        memory_->levels[depth_++] = {folder, INVALID_HANDLE_VALUE, descriptor, pathLength_};
    }
    void Leave()
    {
        Level& level = Top();
        if (level.search != INVALID_HANDLE_VALUE)
            FindClose(level.search);
        if (depth_ > 1) {
            CloseHandle(level.folder);
            api_.destroyPrivateObjectSecurity(&level.descriptor);
        }
        --depth_;
        if (depth_ > 0)
            CutPath(Top().pathLength);
    }

    // The top folder's next child other than "." and "..". A search that
    // fails otherwise than by running out leaves children unreached.
    bool NextChild(WIN32_FIND_DATAW& found)
    {
        Level& level = Top();
        CutPath(level.pathLength);
        do {
            if (level.search == INVALID_HANDLE_VALUE) {
                if (!AddToPath(L"*")) {
                    notWritten_ = true;
                    return false;
                }
                level.search = FindFirstFileW(memory_->path, &found);
                CutPath(level.pathLength);
                if (level.search == INVALID_HANDLE_VALUE) {
                    notWritten_ = true;
                    return false;
                }
            } else if (!FindNextFileW(level.search, &found)) {
                notWritten_ |= GetLastError() != ERROR_NO_MORE_FILES;
                return false;
            }
        } while (IsDotOrDotDot(found.cFileName));
        return true;
    }

    // One child of the top folder: checked through its handle, written
    // through the same handle, and entered when it is a folder.
    void Visit(const WIN32_FIND_DATAW& found)
    {
        // Some file systems show a link only by name (Wine follows it even
        // through a handle opened on the link itself).
        if (IsLink(found.dwFileAttributes)) {
            leftLinked_ = true;
            return;
        }
        if (!AddToPath(found.cFileName)) {
            notWritten_ = true;
            return;
        }
        const bool isFolder = IsFolder(found.dwFileAttributes);
        OwnedHandle object(CreateFileW(memory_->path, isFolder ? kFolderAccess : kFileAccess,
                                       kHeldSharing, nullptr, OPEN_EXISTING, kOpenItself,
                                       nullptr));
        if (object.Get() == INVALID_HANDLE_VALUE) {
            notWritten_ |= !Vanished(GetLastError());
            return;
        }
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(object.Get(), &info)) {
            notWritten_ = true;
            return;
        }
        if (IsLink(info.dwFileAttributes) || info.dwVolumeSerialNumber != volume_ ||
            (!isFolder && info.nNumberOfLinks != 1)) {
            leftLinked_ = true;
            return;
        }
        // Swapped between the listing and the open: opened with the wrong rights.
        if (IsFolder(info.dwFileAttributes) != isFolder) {
            notWritten_ = true;
            return;
        }
        PrivateDescriptor computed(api_);
        bool isProtected = false;
        if (!Compute(object.Get(), isFolder, computed, isProtected)) {
            notWritten_ = true;
            return;
        }
        // Windows' propagation stops where a DACL is protected.
        if (isProtected)
            return;
        if (!api_.setObjectSecurity(object.Get(), DACL_SECURITY_INFORMATION, computed.Get())) {
            notWritten_ = true;
            return;
        }
        if (!isFolder)
            return;
        if (depth_ == kDeepest) {
            notWritten_ = true;
            return;
        }
        Enter(object.Release(), computed.Release());
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
    WalkMemory* memory_;
    DescriptorBuffer current_;
    DWORD pathLength_ = 0;
    int depth_ = 0;
    DWORD volume_ = 0;
    bool leftLinked_ = false;
    bool notWritten_ = false;
};

} // namespace

LONG PassDownBelow(const SecurityApi& api, const HeldPath& held,
                   PSECURITY_DESCRIPTOR objectDescriptor)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(held.Object(), &info))
        return kGrantWriteFailed;
    if (!IsFolder(info.dwFileAttributes))
        return kGrantDone;
    TreeWalk walk(api);
    return walk.Run(held.FullPath(), info, objectDescriptor);
}
