// AddAccessRights and AddAccessRights_FULL: which folders they refuse, and
// what they write into the DACLs of a folder and of the objects below it.
//
// Wine keeps no folder DACLs (it makes one up from the Unix permission bits
// on every read), so the DACLs are checked where the grant writes them: the
// grant runs with a loader whose advapi32 hands out recording doubles of the
// functions that read, compute and write them. The doubles keep one DACL per
// file (by volume serial number and file index, so that two names of a file
// share it), merge with the real SetEntriesInAclA and compute inherited
// entries with the model. Its ntdll opens and asks through the real
// functions, but can make what Wine cannot: a folder on the way that leads
// elsewhere, a refused open, an oplock's break, a name removed at once. The
// real DLL is then run for its statuses.
#include "access_rights.h"
#include "dacl_restore.h"
#include "inheritance_model.h"
#include "nt_file_api.h"
#include "test_support.h"
#include "vksvc.h"
#include "vksvc_library.h"

#include <aclapi.h>
#include <sddl.h>

#include <doctest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace vktest;

namespace {

const char kUsersSid[] = "S-1-5-32-545";
const char kAdministratorsSid[] = "S-1-5-32-544";
const DWORD kFolderAndSubfolders = CONTAINER_INHERIT_ACE;           // 0x02
const DWORD kFilesOnly = OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;     // 0x09
const DWORD kEverythingBelow = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
const DWORD kReadAndExecute = 0x001200A9;
const char kFolder[] = "C:\\vk-grant\\data";

// --- Redirecting this program's import of LocalFree ---------------------------

// Points every import slot of `function` from `dll` in this program at
// `replacement` while it lives. The library's code is linked into the test
// program, so its calls go through these slots.
class ImportRedirect {
public:
    ImportRedirect(const char* dll, const char* function, void* replacement)
    {
        for (void** slot : FindSlots(dll, function)) {
            original_ = *slot;
            Write(slot, replacement);
            slots_.push_back(slot);
        }
    }
    ~ImportRedirect()
    {
        for (void** slot : slots_)
            Write(slot, original_);
    }
    ImportRedirect(const ImportRedirect&) = delete;
    ImportRedirect& operator=(const ImportRedirect&) = delete;

    bool IsActive() const { return !slots_.empty(); }
    void* Original() const { return original_; }

private:
    static std::vector<void**> FindSlots(const char* dll, const char* function)
    {
        BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
        std::vector<void**> slots;
        for (; module->Name != 0; ++module) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + module->Name), dll) != 0)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
            auto* bound = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++bound) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                const auto* byName =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    slots.push_back(reinterpret_cast<void**>(&bound->u1.Function));
            }
        }
        return slots;
    }

    static void Write(void** slot, void* value)
    {
        DWORD protection = 0;
        VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
        *slot = value;
        VirtualProtect(slot, sizeof *slot, protection, &protection);
    }

    std::vector<void**> slots_;
    void* original_ = nullptr;
};

// --- DACLs as text -------------------------------------------------------------------

// Memory that a security function allocated for its caller.
template <typename T>
class LocalBlock {
public:
    LocalBlock() = default;
    ~LocalBlock()
    {
        if (block_ != nullptr)
            LocalFree(block_);
    }
    LocalBlock(const LocalBlock&) = delete;
    LocalBlock& operator=(const LocalBlock&) = delete;
    T** Receive() { return &block_; }
    T* Get() const { return block_; }

private:
    T* block_ = nullptr;
};

std::string SidText(PSID sid)
{
    LocalBlock<char> text;
    if (!ConvertSidToStringSidA(sid, text.Receive()))
        return "?";
    return text.Get();
}

std::string Hex(DWORD value)
{
    char text[16];
    wsprintfA(text, "0x%lx", value);
    return text;
}

// One ACE as "allow SID mask=0x... flags=0x...".
std::string AceText(const std::string& sid, DWORD mask, DWORD flags)
{
    return "allow " + sid + " mask=" + Hex(mask) + " flags=" + Hex(flags);
}

// The ACEs of a DACL as sorted text, one per line: the order in which the
// platform's merge places them is its own business.
std::string AcesOf(const std::vector<BYTE>& aclBytes)
{
    if (aclBytes.empty())
        return "(no DACL)";
    PACL acl = reinterpret_cast<PACL>(const_cast<BYTE*>(aclBytes.data()));
    std::vector<std::string> aces;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace))
            return "(broken ACL)";
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            aces.push_back("type " + Hex(header->AceType));
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        aces.push_back(AceText(SidText(&allowed->SidStart), allowed->Mask, header->AceFlags));
    }
    std::sort(aces.begin(), aces.end());
    std::string text;
    for (const std::string& line : aces)
        text += line + "\n";
    return text;
}

std::string Lines(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

std::vector<BYTE> CopyOf(const ACL* acl)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(acl);
    return std::vector<BYTE>(bytes, bytes + acl->AclSize);
}

// What a folder's DACL holds before the grant: full control for the
// administrators, on everything below.
std::vector<BYTE> AdministratorsOnlyDacl()
{
    LocalBlock<void> administrators;
    ConvertStringSidToSidA(kAdministratorsSid, administrators.Receive());
    std::vector<BYTE> bytes(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) +
                            GetLengthSid(administrators.Get()));
    PACL acl = reinterpret_cast<PACL>(bytes.data());
    InitializeAcl(acl, static_cast<DWORD>(bytes.size()), ACL_REVISION);
    AddAccessAllowedAceEx(acl, ACL_REVISION, kEverythingBelow, GENERIC_ALL, administrators.Get());
    return bytes;
}

const std::string kAdministratorsAce = AceText(kAdministratorsSid, GENERIC_ALL, kEverythingBelow);
std::vector<BYTE> SidBytes(const char* text)
{
    LocalBlock<void> sid;
    ConvertStringSidToSidA(text, sid.Receive());
    const BYTE* bytes = static_cast<const BYTE*>(sid.Get());
    return std::vector<BYTE>(bytes, bytes + GetLengthSid(sid.Get()));
}

// Made before any grant runs: making them frees memory, which a grant counts.
const std::vector<BYTE> kDaclBeforeGrant = AdministratorsOnlyDacl();
const std::vector<BYTE> kAdministrators = SidBytes(kAdministratorsSid); // owner and group

// --- A recording advapi32 ------------------------------------------------------------

enum class Step { Read, Build, Merge, Write, Compute };

const char* StepName(Step step)
{
    switch (step) {
    case Step::Read: return "GetKernelObjectSecurity";
    case Step::Build: return "BuildExplicitAccessWithNameA";
    case Step::Merge: return "SetEntriesInAclA";
    case Step::Write: return "SetKernelObjectSecurity";
    case Step::Compute: return "CreatePrivateObjectSecurityEx";
    }
    return "?";
}

// How a read or write of security information was asked for.
struct SecurityCall {
    std::string path;     // of the object the handle is open on
    std::string identity; // of that object
    SECURITY_INFORMATION information;
};

// A file's identity: its volume's serial number and its index there. Two
// names of one file share it, and so share one DACL, as on Windows.
std::string IdentityOfHandle(HANDLE object)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(object, &info))
        return "?";
    return Hex(info.dwVolumeSerialNumber) + ":" + Hex(info.nFileIndexHigh) + ":" +
           Hex(info.nFileIndexLow);
}

std::string IdentityOf(const std::wstring& path)
{
    const std::wstring whole = path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
    const Handle object(CreateFileW(whole.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    return object.IsValid() ? IdentityOfHandle(object.Get()) : "(missing " + Utf8(path) + ")";
}

// The path of what a handle is open on, every character kept.
std::wstring WidePathOfHandle(HANDLE handle)
{
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    const auto finalPath = reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW")));
    std::vector<WCHAR> buffer(40000);
    if (finalPath == nullptr || finalPath(handle, buffer.data(), 40000, 0) == 0)
        return L"";
    const std::wstring path = buffer.data();
    return path.compare(0, 4, L"\\\\?\\") == 0 ? path.substr(4) : path;
}

// Where the grant keeps its backups.
std::string BackupFolderPath() { return WindowsDir() + "\\VK_DACL"; }

bool IsInBackupFolder(HANDLE object)
{
    const std::string folder = BackupFolderPath();
    return lstrcmpiA(PathOfHandle(object).substr(0, folder.size()).c_str(), folder.c_str()) == 0;
}

HMODULE const kFakeAdvapi = reinterpret_cast<HMODULE>(0x7A5E0000);
HMODULE const kFakeNtdll = reinterpret_cast<HMODULE>(0x7A5F0000);

const NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022);
// Reparse tags of filters that keep a file's data their own way.
const ULONG kReparseTagWof = 0x80000017;
const ULONG kReparseTagCloud = 0x9000001A;

class FakeAdvapi;
FakeAdvapi* g_advapi = nullptr; // the one the loader's functions reach

class InstalledAdvapi {
public:
    explicit InstalledAdvapi(FakeAdvapi* advapi) { g_advapi = advapi; }
    ~InstalledAdvapi() { g_advapi = nullptr; }
    InstalledAdvapi(const InstalledAdvapi&) = delete;
    InstalledAdvapi& operator=(const InstalledAdvapi&) = delete;
};

// The advapi32 that the grant gets from its loader while Grant runs, with
// the DACL of every object it touches. Functions it does not record are
// the real ones.
class FakeAdvapi {
public:
    // --- What to make go wrong
    bool libraryLoads = true;
    const char* missingFunction = nullptr;
    Step failingStep = Step::Read;
    int failingPass = 0; // 0: nothing fails
    std::function<void()> afterFirstWrite; // what a user does between the passes
    std::function<void()> afterSecondWrite; // and before the walk
    std::set<std::string> unwritable;      // identities whose write is refused
    bool computesNoDacl = false;           // as Wine's CreatePrivateObjectSecurityEx
    // A folder made a junction: every open by a path through it leads into
    // `junctionTarget` instead.
    std::wstring junction;
    std::wstring junctionTarget;
    std::map<std::wstring, NTSTATUS> failedOpens; // names whose open fails so
    std::map<std::wstring, int> oplocked;    // name: opens that start a break
    // A name removed at once after its open, leaving `remainingName` in
    // `remainingFolder` only; through the class of every name (Windows 10)
    // or, where that class is missing, as a count and a pending delete.
    std::wstring removedAfterOpen;
    std::wstring remainingFolder;
    std::wstring remainingName;
    bool hasNamesClass = false;
    // Reparse points by name: the tag, shown in the listing or put in the
    // name's place after it, and where an open that follows it lands.
    struct Reparse { ULONG tag; bool listed; std::wstring target; };
    std::map<std::wstring, Reparse> reparse;
    // Every name of a file, asked through its handle: the one name the
    // answer holds, and the status it comes with.
    struct OnlyName { std::wstring folder, name; NTSTATUS status; };
    std::map<std::wstring, OnlyName> answeredNames;
    // Names whose 64-bit file ID reads all ones; true: the 128-bit one too.
    std::map<std::wstring, bool> unknownIds;
    // A name that the listing of `againIn` gives once more at its end,
    // leading to the object `againOf` there (a walked folder renamed).
    std::wstring againIn, againName, againOf;
    vktest::Handle heldByApplication; // a file another program holds unshared
    // What the backup folder's owner and DACL read as, in SDDL: a folder
    // that a standard user made. By default what Wine makes up.
    std::wstring backupFolderSddl;
    // Opens below the folder granted that succeed before every other is
    // refused: a grant stopped after so many objects.
    int opensBeforeStop = -1;
    // Names that are junctions by the time they are opened.
    std::set<std::wstring> linkedSinceListing;

    void RemoveAfterOpen(bool namesClass)
    {
        removedAfterOpen = L"inside.txt";
        remainingFolder = L"C:\\vk-walk";
        remainingName = L"outside.txt";
        hasNamesClass = namesClass;
    }

    // --- What happened
    int loads = 0;
    int releases = 0;
    int ntdllLoads = 0;
    int ntdllReleases = 0;
    bool releasedOtherModule = false;
    std::vector<std::string> lookups;
    std::vector<Step> calls;
    std::vector<SecurityCall> reads;
    std::vector<SecurityCall> writes;
    bool wroteOtherList = false; // something else than the merged list or the computed descriptor
    bool wroteNoDacl = false;    // a descriptor without a DACL, or with a NULL one
    std::map<std::string, std::vector<BYTE>> dacls; // by identity
    std::set<std::string> protectedDacls;           // identities
    std::vector<std::vector<BYTE>> written;         // every DACL written, in order
    // The backup as each flush left it on the disk, and the DACLs written
    // before their object's line was there.
    std::vector<std::string> flushedBackups;
    std::vector<std::wstring> writtenBeforeItsLine;
    std::wstring granted; // the folder of the grant under way

    // Blocks handed to the caller to free and not freed yet, and frees of
    // anything else (or of a block already freed).
    std::vector<void*> live;
    std::vector<void*> wrongFrees;

    LONG Grant(const char* folder, DWORD mask)
    {
        granted = Widen(folder);
        return Installed([&](const LibraryLoader& loader) { return GrantUsersAccess(loader, folder, mask); });
    }
    LONG Restore(const std::string& backup, RestoreCounts& counts)
    {
        return Installed([&](const LibraryLoader& loader) {
            return RestoreBackup(loader, Widen(backup).c_str(), counts);
        });
    }
    LONG Audit(const char* folder, DWORD mask, GrantAudit& audit)
    {
        return Installed([&](const LibraryLoader& loader) {
            return AuditUsersAccess(loader, folder, mask, audit);
        });
    }
    template <typename Call>
    LONG Installed(Call&& call)
    {
        static const LibraryLoader kLoader = {Load, Lookup, Release};
        const InstalledAdvapi installed(this);
        const ImportRedirect localFree("kernel32.dll", "LocalFree",
                                       reinterpret_cast<void*>(SpyLocalFree));
        REQUIRE(localFree.IsActive());
        originalLocalFree_ = reinterpret_cast<LocalFreeFn>(localFree.Original());
        return call(kLoader);
    }

    std::vector<BYTE>& DaclOf(const std::string& path) { return DaclOf(Widen(path)); }
    std::vector<BYTE>& DaclOf(const std::wstring& path) { return DaclOfObject(IdentityOf(path)); }

    std::vector<BYTE>& DaclOfObject(const std::string& identity)
    {
        auto found = dacls.find(identity);
        if (found == dacls.end())
            found = dacls.emplace(identity, kDaclBeforeGrant).first;
        return found->second;
    }

    // Where the object's DACL was written among all writes.
    std::vector<size_t> WritesOf(const std::wstring& path) const
    {
        const std::string identity = IdentityOf(path);
        std::vector<size_t> places;
        for (size_t i = 0; i < writes.size(); ++i)
            if (writes[i].identity == identity)
                places.push_back(i);
        return places;
    }

private:
    using LocalFreeFn = HLOCAL(WINAPI*)(HLOCAL);

    bool Fails(Step step) const
    {
        return failingPass != 0 && step == failingStep &&
               std::count(calls.begin(), calls.end(), step) == failingPass;
    }
    bool IsLive(const void* block) const
    {
        return std::find(live.begin(), live.end(), block) != live.end();
    }
    void HandOut(void* block) { live.push_back(block); }
    bool Forget(void* block)
    {
        const auto found = std::find(live.begin(), live.end(), block);
        if (found == live.end())
            return false;
        live.erase(found);
        return true;
    }

    static HMODULE WINAPI Load(LPCSTR name)
    {
        if (lstrcmpiA(name, "ntdll.dll") == 0) {
            ++g_advapi->ntdllLoads;
            return kFakeNtdll;
        }
        ++g_advapi->loads;
        if (!g_advapi->libraryLoads || lstrcmpiA(name, "advapi32.dll") != 0)
            return nullptr;
        return kFakeAdvapi;
    }
    static BOOL WINAPI Release(HMODULE module)
    {
        if (module == kFakeNtdll) {
            ++g_advapi->ntdllReleases;
            return TRUE;
        }
        ++g_advapi->releases;
        g_advapi->releasedOtherModule |= module != kFakeAdvapi;
        return TRUE;
    }
    static FARPROC WINAPI Lookup(HMODULE module, LPCSTR name)
    {
        FakeAdvapi& self = *g_advapi;
        self.lookups.push_back(name);
        if (self.missingFunction != nullptr && std::strcmp(name, self.missingFunction) == 0)
            return nullptr;
        if (module == kFakeNtdll)
            return LookupNtdll(name);
        if (module != kFakeAdvapi)
            return nullptr;
        const struct {
            Step step;
            void* function;
        } kFunctions[] = {
            {Step::Read, reinterpret_cast<void*>(FakeRead)},
            {Step::Build, reinterpret_cast<void*>(FakeBuild)},
            {Step::Merge, reinterpret_cast<void*>(FakeMerge)},
            {Step::Write, reinterpret_cast<void*>(FakeWrite)},
            {Step::Compute, reinterpret_cast<void*>(FakeCompute)},
        };
        for (const auto& entry : kFunctions)
            if (std::strcmp(name, StepName(entry.step)) == 0)
                return reinterpret_cast<FARPROC>(entry.function);
        if (std::strcmp(name, "DestroyPrivateObjectSecurity") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeDestroy));
        if (std::strcmp(name, "ConvertSecurityDescriptorToStringSecurityDescriptorW") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeToText));
        if (std::strcmp(name, "ConvertStringSecurityDescriptorToSecurityDescriptorW") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeFromText));
        return GetProcAddress(GetModuleHandleA("advapi32.dll"), name);
    }

    // The text forms of a descriptor, handed out as the platform's to free.
    static BOOL WINAPI FakeToText(PSECURITY_DESCRIPTOR descriptor, DWORD revision,
                                  SECURITY_INFORMATION information, LPWSTR* text, PULONG length)
    {
        const BOOL done = ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, revision, information, text, length);
        if (done)
            g_advapi->HandOut(*text);
        return done;
    }
    static BOOL WINAPI FakeFromText(LPCWSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
                                    PULONG length)
    {
        const BOOL done = ConvertStringSecurityDescriptorToSecurityDescriptorW(text, revision,
                                                                               descriptor, length);
        if (done)
            g_advapi->HandOut(*descriptor);
        return done;
    }

    using FlushFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK);
    static NTSTATUS NTAPI FakeFlush(HANDLE file, PIO_STATUS_BLOCK io)
    {
        static const FlushFn flush = reinterpret_cast<FlushFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtFlushBuffersFile")));
        const NTSTATUS status = flush(file, io);
        g_advapi->flushedBackups.push_back(ReadFileBytes(PathOfHandle(file)));
        return status;
    }

    // Whether the line of the object (by its path below the granted folder)
    // is in the backup as the last flush left it.
    bool IsLineOnDisk(HANDLE object) const
    {
        const std::wstring path = WidePathOfHandle(object);
        const std::wstring below = path.size() > granted.size() ? path.substr(granted.size() + 1) : L".";
        return !flushedBackups.empty() &&
               flushedBackups.back().find("\t" + Utf8(below) + "\r\n") != std::string::npos;
    }

    static FARPROC LookupNtdll(LPCSTR name)
    {
        if (std::strcmp(name, "NtFlushBuffersFile") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeFlush));
        if (std::strcmp(name, "NtCreateFile") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeOpen));
        if (std::strcmp(name, "NtQueryInformationFile") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeQuery));
        if (std::strcmp(name, "NtQueryDirectoryFile") == 0)
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeList));
        return GetProcAddress(GetModuleHandleA("ntdll.dll"), name);
    }

    using OpenFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                    PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
    using QueryFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);

    static NTSTATUS NTAPI FakeOpen(PHANDLE handle, ACCESS_MASK access,
                                   POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                                   PLARGE_INTEGER size, ULONG fileAttributes, ULONG sharing,
                                   ULONG disposition, ULONG options, PVOID ea, ULONG eaLength)
    {
        FakeAdvapi& self = *g_advapi;
        static const OpenFn open = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateFile")));
        const UNICODE_STRING& asked = *attributes->ObjectName;
        std::wstring name(asked.Buffer, asked.Length / sizeof(WCHAR));
        // The walk below the folder, not the path to it or the backup.
        if (self.opensBeforeStop >= 0 && attributes->RootDirectory != nullptr &&
            _wcsnicmp(WidePathOfHandle(attributes->RootDirectory).c_str(), self.granted.c_str(),
                      self.granted.size()) == 0 &&
            self.opensBeforeStop-- == 0) {
            self.opensBeforeStop = 0;
            return kAccessDenied;
        }
        const std::wstring listed = name;
        const auto failing = self.failedOpens.find(name);
        if (failing != self.failedOpens.end())
            return failing->second;
        if (!self.againName.empty() && name == self.againName)
            name = self.againOf;
        // Without FILE_OPEN_REPARSE_POINT a junction leads to its target.
        const auto reparse = self.reparse.find(name);
        const bool followed = reparse != self.reparse.end() &&
                              !reparse->second.target.empty() &&
                              (options & nt::kOpenReparsePoint) == 0;
        if (followed) {
            name = L"\\??\\" + reparse->second.target;
            attributes->RootDirectory = nullptr;
        }
        // A path looked up from the root passes through the junction.
        const std::wstring through = L"\\??\\" + self.junction + L"\\";
        UNICODE_STRING redirected;
        if (!self.junction.empty() && attributes->RootDirectory == nullptr &&
            _wcsnicmp(name.c_str(), through.c_str(), through.size()) == 0)
            name = L"\\??\\" + self.junctionTarget + L"\\" + name.substr(through.size());
        if (name != listed) {
            redirected.Length = redirected.MaximumLength =
                static_cast<USHORT>(name.size() * sizeof(WCHAR));
            redirected.Buffer = &name[0];
            attributes->ObjectName = &redirected;
        }
        const NTSTATUS status = open(handle, access, attributes, io, size, fileAttributes,
                                     sharing, disposition, options, ea, eaLength);
        if (status != 0)
            return status;
        // Handles are numbers that Windows hands out again.
        self.removedHandles_.erase(*handle);
        self.linkHandles_.erase(*handle);
        if (self.linkedSinceListing.count(name) != 0)
            self.linkHandles_.insert(*handle);
        if (name == self.removedAfterOpen)
            self.removedHandles_.insert(*handle);
        self.openedNames_[*handle] = listed;
        self.reparseTags_.erase(*handle);
        if (reparse != self.reparse.end() && !followed)
            self.reparseTags_[*handle] = reparse->second.tag;
        auto breaking = self.oplocked.find(name);
        if (breaking != self.oplocked.end() && breaking->second > 0) {
            --breaking->second;
            return nt::kOplockBreakInProgress;
        }
        return status;
    }

    static NTSTATUS NTAPI FakeQuery(HANDLE object, PIO_STATUS_BLOCK io, PVOID buffer, ULONG size,
                                    ULONG informationClass)
    {
        FakeAdvapi& self = *g_advapi;
        static const QueryFn query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
        const bool removed = self.removedHandles_.count(object) != 0;
        const std::wstring name = self.openedNames_[object];
        const auto answered = self.answeredNames.find(name);
        if (informationClass == nt::kFileHardLinkInformation) {
            if (answered != self.answeredNames.end())
                return OnlyNameIn(answered->second, buffer, size);
            if (!self.hasNamesClass)
                return nt::kInvalidInfoClass;
            if (removed)
                return OnlyNameIn({self.remainingFolder, self.remainingName, 0}, buffer, size);
        }
        const NTSTATUS status = query(object, io, buffer, size, informationClass);
        if (status == 0 && self.linkHandles_.count(object) != 0 &&
            informationClass == nt::kFileAttributeTagInformation)
            *static_cast<nt::AttributeTagInformation*>(buffer) = {
                FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT};
        const auto unknown = self.unknownIds.find(name);
        if (status == 0 && unknown != self.unknownIds.end()) {
            if (informationClass == nt::kFileInternalInformation)
                static_cast<nt::InternalInformation*>(buffer)->IndexNumber.QuadPart = -1;
            if (informationClass == nt::kFileIdInformation && unknown->second)
                *static_cast<nt::IdInformation*>(buffer) = {0, {~0ULL, 0}};
        }
        const auto tagged = self.reparseTags_.find(object);
        if (status == 0 && tagged != self.reparseTags_.end() &&
            informationClass == nt::kFileAttributeTagInformation) {
            auto* tag = static_cast<nt::AttributeTagInformation*>(buffer);
            tag->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            tag->ReparseTag = tagged->second;
        }
        if (status == 0 && removed && informationClass == nt::kFileStandardInformation) {
            // Before Windows 10 the removed name stays until the handle
            // closes: it no longer counts, and the handle's delete is pending.
            auto* standard = static_cast<nt::StandardInformation*>(buffer);
            standard->NumberOfLinks = 1;
            standard->DeletePending = TRUE;
        }
        return status;
    }

    // A names answer that holds one name, `only.name` in `only.folder`.
    static NTSTATUS OnlyNameIn(const OnlyName& only, PVOID buffer, ULONG size)
    {
        const vktest::Handle folder(CreateFileW(
            (L"\\\\?\\" + only.folder).c_str(), FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        REQUIRE(GetFileInformationByHandle(folder.Get(), &info));
        const ULONG length = static_cast<ULONG>(only.name.size());
        REQUIRE(size >= sizeof(nt::LinksInformation) + length * sizeof(WCHAR));
        auto* links = static_cast<nt::LinksInformation*>(buffer);
        // An answer cut short needs room for more than it holds.
        *links = {static_cast<ULONG>(sizeof *links + length * sizeof(WCHAR)) +
                      (only.status == nt::kBufferOverflow ? size : 0),
                  1,
                  {0, (static_cast<LONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                   length, {0}}};
        std::memcpy(links->Entry.FileName, only.name.c_str(), length * sizeof(WCHAR));
        return only.status;
    }

    using ListFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                    ULONG, BOOLEAN, PUNICODE_STRING, BOOLEAN);

    // The real listing, with the reparse points that it is to show, and
    // one more name at the end of `againIn`'s.
    static NTSTATUS NTAPI FakeList(HANDLE folder, HANDLE event, PVOID apc, PVOID context,
                                   PIO_STATUS_BLOCK io, PVOID buffer, ULONG size,
                                   ULONG informationClass, BOOLEAN single, PUNICODE_STRING mask,
                                   BOOLEAN restart)
    {
        FakeAdvapi& self = *g_advapi;
        static const ListFn list = reinterpret_cast<ListFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryDirectoryFile")));
        const NTSTATUS status = list(folder, event, apc, context, io, buffer, size,
                                     informationClass, single, mask, restart);
        REQUIRE(informationClass == nt::kFileDirectoryInformation);
        if (status == nt::kNoMoreFiles && mask == nullptr && !self.againName.empty() &&
            !self.listedAgain_ && IdentityOfHandle(folder) == IdentityOf(self.againIn)) {
            self.listedAgain_ = true;
            auto* entry = static_cast<nt::DirectoryEntry*>(buffer);
            const ULONG length = static_cast<ULONG>(self.againName.size());
            *entry = {};
            entry->FileAttributes = GetFileAttributesW((self.againIn + L"\\" + self.againOf).c_str());
            entry->FileNameLength = length * sizeof(WCHAR);
            std::memcpy(entry->FileName, self.againName.c_str(), length * sizeof(WCHAR));
            return 0;
        }
        for (ULONG offset = 0; status == 0;) {
            auto* entry = reinterpret_cast<nt::DirectoryEntry*>(static_cast<BYTE*>(buffer) + offset);
            const auto found = self.reparse.find(
                std::wstring(entry->FileName, entry->FileNameLength / sizeof(WCHAR)));
            if (found != self.reparse.end() && found->second.listed)
                entry->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            if (entry->NextEntryOffset == 0)
                break;
            offset += entry->NextEntryOffset;
        }
        return status;
    }

    static HLOCAL WINAPI SpyLocalFree(HLOCAL block)
    {
        if (block != nullptr && !g_advapi->Forget(block))
            g_advapi->wrongFrees.push_back(block);
        return g_advapi->originalLocalFree_(block);
    }

    // The object's descriptor as the platform gives it: its DACL, whether
    // that is protected, and the administrators as owner and group when
    // asked for.
    static BOOL WINAPI FakeRead(HANDLE object, SECURITY_INFORMATION information,
                                PSECURITY_DESCRIPTOR buffer, DWORD size, LPDWORD needed)
    {
        FakeAdvapi& self = *g_advapi;
        if (IsInBackupFolder(object))
            return self.ReadBackupFolder(object, information, buffer, size, needed);
        self.calls.push_back(Step::Read);
        const std::string identity = IdentityOfHandle(object);
        self.reads.push_back({PathOfHandle(object), identity, information});
        if (self.Fails(Step::Read)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        PSID administrators = const_cast<BYTE*>(kAdministrators.data());
        const bool ownerAndGroup = (information & OWNER_SECURITY_INFORMATION) != 0;
        std::vector<BYTE> dacl = self.DaclOfObject(identity);
        const PSECURITY_DESCRIPTOR made = NewDescriptor(
            reinterpret_cast<PACL>(dacl.data()),
            self.protectedDacls.count(identity) != 0 ? SE_DACL_PROTECTED : 0,
            ownerAndGroup ? administrators : nullptr, ownerAndGroup ? administrators : nullptr);
        *needed = GetSecurityDescriptorLength(made);
        const bool fits = *needed <= size;
        if (fits)
            std::memcpy(buffer, made, *needed);
        HeapFree(GetProcessHeap(), 0, made);
        SetLastError(fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER);
        return fits;
    }

    BOOL ReadBackupFolder(HANDLE object, SECURITY_INFORMATION information,
                          PSECURITY_DESCRIPTOR buffer, DWORD size, LPDWORD needed)
    {
        if (backupFolderSddl.empty())
            return GetKernelObjectSecurity(object, information, buffer, size, needed);
        PSECURITY_DESCRIPTOR made = nullptr;
        REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorW(backupFolderSddl.c_str(),
                                                                     SDDL_REVISION_1, &made,
                                                                     nullptr));
        *needed = GetSecurityDescriptorLength(made);
        const bool fits = *needed <= size;
        if (fits)
            std::memcpy(buffer, made, *needed);
        originalLocalFree_(made);
        SetLastError(fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER);
        return fits;
    }

    static VOID WINAPI FakeBuild(PEXPLICIT_ACCESS_A entry, LPSTR trustee,
                                 DWORD permissions, ACCESS_MODE mode,
                                 DWORD inheritance)
    {
        g_advapi->calls.push_back(Step::Build);
        ::BuildExplicitAccessWithNameA(entry, trustee, permissions, mode, inheritance);
    }

    // The platform's own merge.
    static DWORD WINAPI FakeMerge(ULONG count, PEXPLICIT_ACCESS_A entries, PACL current,
                                  PACL* merged)
    {
        FakeAdvapi& self = *g_advapi;
        self.calls.push_back(Step::Merge);
        if (self.Fails(Step::Merge))
            return ERROR_NOT_ENOUGH_MEMORY;
        const DWORD result = ::SetEntriesInAclA(count, entries, current, merged);
        if (result == ERROR_SUCCESS) {
            self.HandOut(*merged);
            self.lastMerged_ = *merged;
        }
        return result;
    }

    static BOOL WINAPI FakeWrite(HANDLE object, SECURITY_INFORMATION information,
                                 PSECURITY_DESCRIPTOR descriptor)
    {
        FakeAdvapi& self = *g_advapi;
        self.calls.push_back(Step::Write);
        const std::string identity = IdentityOfHandle(object);
        const PACL dacl = DaclIn(descriptor);
        // A computed descriptor may wait for its batch's flush.
        self.wroteOtherList |= !self.IsLive(descriptor) &&
                               (dacl != self.lastMerged_ || !self.IsLive(dacl));
        self.wroteNoDacl |= dacl == nullptr;
        if (self.Fails(Step::Write) || dacl == nullptr || self.unwritable.count(identity) != 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        self.writes.push_back({PathOfHandle(object), identity, information});
        if (!self.IsLineOnDisk(object))
            self.writtenBeforeItsLine.push_back(WidePathOfHandle(object));
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(descriptor, &control, &revision);
        if ((control & SE_DACL_PROTECTED) != 0)
            self.protectedDacls.insert(identity);
        else
            self.protectedDacls.erase(identity);
        self.DaclOfObject(identity) = CopyOf(dacl);
        self.written.push_back(CopyOf(dacl));
        if (self.written.size() == 1 && self.afterFirstWrite)
            self.afterFirstWrite();
        if (self.written.size() == 2 && self.afterSecondWrite)
            self.afterSecondWrite();
        return TRUE;
    }

    static BOOL WINAPI FakeCompute(PSECURITY_DESCRIPTOR parent, PSECURITY_DESCRIPTOR creator,
                                   PSECURITY_DESCRIPTOR* made, GUID*, BOOL isContainer,
                                   ULONG, HANDLE, PGENERIC_MAPPING)
    {
        FakeAdvapi& self = *g_advapi;
        self.calls.push_back(Step::Compute);
        *made = self.computesNoDacl ? NewDescriptor(nullptr, 0, nullptr, nullptr)
                                    : ModelOfInheritance(parent, creator, isContainer != FALSE);
        self.HandOut(*made);
        return TRUE;
    }

    static BOOL WINAPI FakeDestroy(PSECURITY_DESCRIPTOR* descriptor)
    {
        if (!g_advapi->Forget(*descriptor))
            g_advapi->wrongFrees.push_back(*descriptor);
        HeapFree(GetProcessHeap(), 0, *descriptor);
        return TRUE;
    }

    LocalFreeFn originalLocalFree_ = nullptr;
    std::set<HANDLE> removedHandles_;
    std::set<HANDLE> linkHandles_;
    std::map<HANDLE, std::wstring> openedNames_; // the name each was opened by
    std::map<HANDLE, ULONG> reparseTags_;
    bool listedAgain_ = false;
    PACL lastMerged_ = nullptr;
};

// Whatever the outcome: every descriptor and list the security functions
// handed out was freed once, nothing else was, and advapi32, loaded once,
// was released once (when it loaded at all).
void CheckTidy(const FakeAdvapi& advapi)
{
    CHECK(advapi.live.empty());
    CHECK(advapi.wrongFrees.empty());
    CHECK(advapi.loads == 1);
    CHECK(advapi.releases == (advapi.libraryLoads ? 1 : 0));
    CHECK(advapi.ntdllReleases == advapi.ntdllLoads);
    CHECK_FALSE(advapi.releasedOtherModule);
}

// The folder's DACL after pass 1 alone, and after both passes.
std::string AfterFolderPass(DWORD mask)
{
    return Lines({kAdministratorsAce, AceText(kUsersSid, mask, kFolderAndSubfolders)});
}
std::string AfterBothPasses(DWORD mask)
{
    return Lines({kAdministratorsAce, AceText(kUsersSid, mask, kFolderAndSubfolders),
                  AceText(kUsersSid, GENERIC_ALL, kFilesOnly)});
}

std::string Untouched() { return Lines({kAdministratorsAce}); }

} // namespace

// --- The DACL that the grant writes --------------------------------------------------

TEST_CASE("Users get the mask on the folder and its subfolders, and GENERIC_ALL on files")
{
    const DWORD kMasks[] = {GENERIC_ALL, kReadAndExecute, FILE_ALL_ACCESS};
    for (DWORD mask : kMasks) {
        CAPTURE(Hex(mask));
        const ScopedFolder folder(kFolder);
        FakeAdvapi advapi;
        CHECK(advapi.Grant(kFolder, mask) == kGrantDone);
        REQUIRE(advapi.written.size() == 2);
        // Pass 2 merges into what pass 1 wrote; nothing already there is removed.
        CHECK(AcesOf(advapi.written[0]) == AfterFolderPass(mask));
        CHECK(AcesOf(advapi.written[1]) == AfterBothPasses(mask));
        CHECK(AcesOf(advapi.DaclOf(kFolder)) == AfterBothPasses(mask));
        CheckTidy(advapi);
    }
}

TEST_CASE("each pass reads and writes the folder's DACL alone, through the folder's handle")
{
    const ScopedFolder folder(kFolder);
    FakeAdvapi advapi;
    REQUIRE(advapi.Grant(kFolder, GENERIC_ALL) == kGrantDone);
    REQUIRE(advapi.reads.size() == 2);
    REQUIRE(advapi.writes.size() == 2);
    for (const auto* calls : {&advapi.reads, &advapi.writes}) {
        for (const SecurityCall& call : *calls) {
            CHECK(call.path == PathOfObject(kFolder));
            CHECK(call.information == DACL_SECURITY_INFORMATION);
        }
    }
    // The write takes the merged list.
    CHECK_FALSE(advapi.wroteOtherList);
    CheckTidy(advapi);
}

TEST_CASE("a failing step ends the grant with its status; a pass-2 failure keeps pass 1")
{
    struct Failure {
        Step step;
        int pass;
        LONG status;
    };
    const Failure kFailures[] = {
        {Step::Read, 1, kGrantReadFailed},  {Step::Merge, 1, kGrantMergeFailed},
        {Step::Write, 1, kGrantWriteFailed}, {Step::Read, 2, kGrantReadFailed},
        {Step::Merge, 2, kGrantMergeFailed}, {Step::Write, 2, kGrantWriteFailed},
    };
    for (const Failure& failure : kFailures) {
        const std::string failingStep = StepName(failure.step);
        CAPTURE(failingStep);
        CAPTURE(failure.pass);
        const ScopedFolder folder(kFolder);
        FakeAdvapi advapi;
        advapi.failingStep = failure.step;
        advapi.failingPass = failure.pass;
        CHECK(advapi.Grant(kFolder, kReadAndExecute) == failure.status);
        // Nothing is tried after the failing step, and nothing is undone.
        REQUIRE_FALSE(advapi.calls.empty());
        CHECK(StepName(advapi.calls.back()) == failingStep);
        const std::string expected =
            failure.pass == 1 ? Untouched() : AfterFolderPass(kReadAndExecute);
        CHECK(AcesOf(advapi.DaclOf(kFolder)) == expected);
        CheckTidy(advapi);
    }
}

TEST_CASE("a function missing from advapi32 or ntdll gives -5 and changes nothing")
{
    for (const char* missing :
         {StepName(Step::Read), StepName(Step::Build), StepName(Step::Merge),
          StepName(Step::Write), StepName(Step::Compute), "NtCreateFile", "NtQueryDirectoryFile",
          "NtQueryInformationFile"}) {
        const std::string missingFunction = missing;
        CAPTURE(missingFunction);
        const ScopedFolder folder(kFolder);
        FakeAdvapi advapi;
        advapi.missingFunction = missing;
        CHECK(advapi.Grant(kFolder, GENERIC_ALL) == kGrantApiMissing);
        CHECK(advapi.written.empty());
        CHECK(AcesOf(advapi.DaclOf(kFolder)) == Untouched());
        CheckTidy(advapi);
    }
}

TEST_CASE("advapi32 that does not load gives -5, before the path is even looked at")
{
    for (const char* folder : {kFolder, "\\\\server\\share\\data"}) {
        const std::string path = folder;
        CAPTURE(path);
        FakeAdvapi advapi;
        advapi.libraryLoads = false;
        CHECK(advapi.Grant(folder, GENERIC_ALL) == kGrantApiMissing);
        CHECK(advapi.lookups.empty());
        CheckTidy(advapi);
    }
}

// --- Which folders are refused ---------------------------------------------------------

namespace {

// The drives that the prefix's set-up made, as Windows reports them.
struct Drive {
    const char* root;
    UINT type;
    const char* fileSystem;
    bool persistentAcls;
};

const Drive kDrives[] = {
    {"C:\\", DRIVE_FIXED, "NTFS", true},
    {"D:\\", DRIVE_CDROM, "CDFS", false},
    {"N:\\", DRIVE_REMOTE, "NTFS", true},    // refused for its type alone
    {"R:\\", DRIVE_REMOVABLE, "NTFS", true}, // refused for its type alone
    {"F:\\", DRIVE_FIXED, "FAT32", false},   // refused for its file system alone
};

const char kShareFolder[] = "\\\\vkserver\\share\\data";

struct RefusedPath {
    const char* path;
    const char* why;
};

const RefusedPath kRefusedPaths[] = {
    {kShareFolder, "a folder of a reachable UNC share"},
    {"vk-grant\\data", "a relative path"},
    {"C:", "a drive letter without backslash"},
    {"C:vk-grant\\data", "a path relative to drive C:"},
    {"D:\\data", "a CD-ROM drive"},
    {"N:\\data", "a network drive"},
    {"R:\\data", "a removable drive"},
    {"F:\\data", "a fixed FAT32 drive"},
    {"Q:\\data", "a drive that does not exist"},
};

using AddAccessRightsFn = LONG(WINAPI*)(LPCSTR, DWORD);
using AddAccessRightsFullFn = LONG(WINAPI*)(LPCSTR);

// The two exports of the real library.
class Grants {
public:
    Grants()
        : withMask_(library_.Export<AddAccessRightsFn>("AddAccessRights")),
          full_(library_.Export<AddAccessRightsFullFn>("AddAccessRights_FULL"))
    {
        const bool bound = withMask_ != nullptr && full_ != nullptr;
        REQUIRE(bound);
    }
    LONG WithMask(const std::string& folder, DWORD mask) const
    {
        return withMask_(folder.c_str(), mask);
    }
    LONG Full(const std::string& folder) const { return full_(folder.c_str()); }

private:
    VksvcLibrary library_;
    AddAccessRightsFn withMask_;
    AddAccessRightsFullFn full_;
};

} // namespace

TEST_CASE("the prefix has the drives and the share that the refusals rest on")
{
    for (const Drive& drive : kDrives) {
        const std::string root = drive.root;
        CAPTURE(root);
        CHECK(GetDriveTypeA(drive.root) == drive.type);
        char fileSystem[MAX_PATH] = {};
        DWORD flags = 0;
        REQUIRE(GetVolumeInformationA(drive.root, nullptr, 0, nullptr, nullptr, &flags,
                                      fileSystem, MAX_PATH));
        CHECK(std::string(fileSystem) == drive.fileSystem);
        CHECK(((flags & FILE_PERSISTENT_ACLS) != 0) == drive.persistentAcls);
    }
    CHECK((GetFileAttributesA(kShareFolder) & FILE_ATTRIBUTE_DIRECTORY) != 0);
}

TEST_CASE("a path not on a local fixed drive with persistent ACLs gives -4, untried")
{
    const Grants grants;
    for (const RefusedPath& refused : kRefusedPaths) {
        const std::string why = refused.why;
        const std::string path = refused.path;
        CAPTURE(why);
        CAPTURE(path);
        CHECK(grants.Full(refused.path) == kGrantNotFixedAclDrive);
        CHECK(grants.WithMask(refused.path, kReadAndExecute) == kGrantNotFixedAclDrive);

        FakeAdvapi advapi;
        CHECK(advapi.Grant(refused.path, GENERIC_ALL) == kGrantNotFixedAclDrive);
        CHECK(advapi.lookups.empty());
        CheckTidy(advapi);
    }
}

// --- The real library on drive C: ----------------------------------------------------------

TEST_CASE("a folder of fixed NTFS drive C: is granted, again and again")
{
    const Grants grants;
    const ScopedFolder folder("C:\\vk-grant\\real");
    CHECK(grants.Full(folder.Path()) == kGrantDone);
    CHECK(grants.Full(folder.Path()) == kGrantDone);
    CHECK(grants.WithMask(folder.Path(), kReadAndExecute) == kGrantDone);
    CHECK(grants.WithMask(folder.Path() + "\\", GENERIC_ALL) == kGrantDone);
}

TEST_CASE("the root of drive C: is granted like any folder, and what is below it decides")
{
    // Wine's computation gives no DACL, so nothing below is written.
    const Grants grants;
    CHECK(grants.Full("C:\\") == kGrantWriteFailed);
}

TEST_CASE("a folder that does not exist on drive C: gives -1")
{
    const Grants grants;
    const ScopedFolder parent("C:\\vk-grant\\parent");
    CHECK(grants.Full(parent.Path() + "\\missing") == kGrantReadFailed);
    CHECK(grants.Full("C:\\vk-no-such-folder\\missing") == kGrantReadFailed);
    CHECK(grants.WithMask(parent.Path() + "\\missing", kReadAndExecute) == kGrantReadFailed);
}

// --- Links -----------------------------------------------------------------------------

namespace {

// links.sh makes C:\vk-links\target (with a folder sub) and C:\vk-links\link,
// a symbolic link to it, which Windows programs see as a reparse point.
const char kLinkTarget[] = "C:\\vk-links\\target";
const char kFolderLink[] = "C:\\vk-links\\link";

// A file with one name and a file with two, beside the link's target's sub.
class LinkFixture {
public:
    LinkFixture()
        : single_(std::string(kLinkTarget) + "\\single.txt", "one name"),
          first_(std::string(kLinkTarget) + "\\first.txt", "two names")
    {
        REQUIRE(CreateHardLinkA(SecondName().c_str(), first_.Path().c_str(), nullptr));
    }
    ~LinkFixture() { RemoveTree(SecondName()); }
    LinkFixture(const LinkFixture&) = delete;
    LinkFixture& operator=(const LinkFixture&) = delete;

    static std::string SecondName() { return std::string(kLinkTarget) + "\\second.txt"; }

private:
    ScopedFile single_;
    ScopedFile first_;
};

struct LinkRow {
    std::string path;
    LONG status;
    size_t written; // DACLs that reach the seam
    std::string what;
};

} // namespace

TEST_CASE("a link, a path through one, a file with two names and a path Windows reads otherwise give -6")
{
    REQUIRE((GetFileAttributesA(kFolderLink) & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
    const LinkFixture fixture;
    const std::string target = kLinkTarget;
    const LinkRow kRows[] = {
        {target, kGrantLinkRefused, 4, "a folder holding a file with two names"},
        {target + "\\sub", kGrantDone, 2, "a subfolder"},
        {target + "\\sub\\", kGrantDone, 2, "a subfolder with a trailing backslash"},
        {target + "\\single.txt", kGrantDone, 2, "a file with one name"},
        {kFolderLink, kGrantLinkRefused, 0, "a link to a folder"},
        {std::string(kFolderLink) + "\\sub", kGrantLinkRefused, 0, "a folder reached through a link"},
        {target + "\\first.txt", kGrantLinkRefused, 0, "a file with a second hard link"},
        {LinkFixture::SecondName(), kGrantLinkRefused, 0, "that second hard link"},
        {target + "\\sub\\..", kGrantLinkRefused, 0, "a folder named with .."},
        {target + "\\sub.", kGrantLinkRefused, 0, "a folder named with a trailing dot"},
        {target + "\\sub ", kGrantLinkRefused, 0, "a folder named with a trailing space"},
        {"C:\\vk-links/target/sub", kGrantLinkRefused, 0, "a folder named with slashes"},
        {target + "\\sub::$INDEX_ALLOCATION", kGrantLinkRefused, 0, "a folder's stream"},
        {"C:\\vk-links\\target \\sub", kGrantLinkRefused, 0, "a folder on the way with a trailing space"},
        {"C:\\vk-links\\target. \\sub", kGrantLinkRefused, 0, "a folder on the way with a dot and a space"},
    };
    const Grants grants;
    for (const LinkRow& row : kRows) {
        const std::string what = row.what;
        CAPTURE(what);
        CAPTURE(row.path);
        const LONG full = grants.Full(row.path);
        CHECK(full == row.status);
        CHECK(grants.WithMask(row.path, kReadAndExecute) == row.status);

        FakeAdvapi auditing;
        GrantAudit audit;
        CHECK(auditing.Audit(row.path.c_str(), GENERIC_ALL, audit) ==
              (row.written == 0 ? row.status : kGrantDone));
        FakeAdvapi advapi;
        CHECK(advapi.Grant(row.path.c_str(), GENERIC_ALL) == row.status);
        CHECK(advapi.written.size() == row.written);
        MESSAGE(row.what << ": " << row.path << " -> " << full << ", DACLs written "
                         << advapi.written.size());
        CheckTidy(advapi);
    }
}

TEST_CASE("a file that gets a second name after pass 1 gets no pass 2")
{
    const LinkFixture fixture;
    const std::string single = std::string(kLinkTarget) + "\\single.txt";
    const std::string late = std::string(kLinkTarget) + "\\late.txt";
    FakeAdvapi advapi;
    // Pass 1 gave Users the right to make one.
    advapi.afterFirstWrite = [&] { CreateHardLinkA(late.c_str(), single.c_str(), nullptr); };
    CHECK(advapi.Grant(single.c_str(), GENERIC_ALL) == kGrantLinkRefused);
    CHECK(advapi.written.size() == 1);
    CheckTidy(advapi);
    RemoveTree(late);
}

// --- The walk below the folder ---------------------------------------------------------

namespace {

// walk-tree.sh's trees.
const std::wstring kWalk = L"C:\\vk-walk";
const std::wstring kPlain = kWalk + L"\\plain";
const std::wstring kLongPath =
    L"long\\" + std::wstring(120, L'x') + L"\\" + std::wstring(120, L'y');

// The objects below the plain tree, relative to it, each after its folder.
const std::vector<std::wstring> kPlainBelow = {
    L"sub",  L"sub\\a.txt", L"sub\\deeper", L"sub\\deeper\\b.txt",  L"c.txt", L"café.txt",
    L"𠮷",   L"𠮷\\d.txt",  L"long",        L"long\\" + std::wstring(120, L'x'), kLongPath,
    kLongPath + L"\\deep.txt",
};
const std::vector<std::wstring> kSubAndBelow = {L"sub", L"sub\\a.txt", L"sub\\deeper",
                                                L"sub\\deeper\\b.txt"};

std::vector<std::wstring> Under(const std::wstring& folder, const std::vector<std::wstring>& names)
{
    std::vector<std::wstring> paths;
    for (const std::wstring& name : names)
        paths.push_back(folder + L"\\" + name);
    return paths;
}

std::vector<std::wstring> Except(std::vector<std::wstring> paths,
                                 const std::vector<std::wstring>& left)
{
    for (const std::wstring& path : left)
        paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    return paths;
}

std::wstring ParentOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// What the model gives an object below from its parent's DACL as stored.
std::string InheritedFrom(FakeAdvapi& advapi, const std::wstring& path)
{
    const PSECURITY_DESCRIPTOR parent = NewDescriptor(
        reinterpret_cast<PACL>(advapi.DaclOf(ParentOf(path)).data()), 0, nullptr, nullptr);
    const PSECURITY_DESCRIPTOR creator =
        NewDescriptor(const_cast<PACL>(reinterpret_cast<const ACL*>(kDaclBeforeGrant.data())), 0,
                      nullptr, nullptr);
    const DWORD attributes = GetFileAttributesW((L"\\\\?\\" + path).c_str());
    const PSECURITY_DESCRIPTOR made =
        ModelOfInheritance(parent, creator, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    const std::string text = AcesOf(CopyOf(DaclIn(made)));
    for (PSECURITY_DESCRIPTOR descriptor : {parent, creator, made})
        HeapFree(GetProcessHeap(), 0, descriptor);
    return text;
}

struct WalkRow {
    const char* what;
    std::wstring folder;
    std::function<void(FakeAdvapi&)> arrange;
    LONG status;
    // The real library: Wine's CreatePrivateObjectSecurityEx gives no DACL,
    // so nothing below is written there.
    LONG realStatus;
    std::vector<std::wstring> written; // once each, after their folder
    std::vector<std::wstring> unchanged;
    // What an audit before the grant counts as left below; by default what
    // makes the grant fail.
    int auditLeft = -1;
    long unentered = 0; // folders written and not walked below
};

// What an audit finds before the grant and after it, writing nothing.
void CheckAudit(const WalkRow& row, FakeAdvapi& before, FakeAdvapi& after)
{
    const std::string folder = Utf8(row.folder);
    GrantAudit audit;
    REQUIRE(before.Audit(folder.c_str(), kReadAndExecute, audit) == kGrantDone);
    CHECK(before.writes.empty());
    const WalkCounts& below = audit.below;
    const long left = below.links + below.otherNames + below.unreached;
    CHECK(left == (row.auditLeft >= 0 ? row.auditLeft : row.status == kGrantDone ? 0 : 1));
    CHECK(below.unentered == row.unentered);
    if (row.status != kGrantDone)
        return;
    CHECK(audit.folderDue);
    CHECK(below.due == static_cast<long>(row.written.size()));
    REQUIRE(after.Audit(folder.c_str(), kReadAndExecute, audit) == kGrantDone);
    CHECK_FALSE(audit.folderDue);
    CHECK(audit.below.due == 0);
}

} // namespace

TEST_CASE("the grant passes the entries down the tree itself, and leaves links and other names")
{
    const std::vector<std::wstring> plain = Under(kPlain, kPlainBelow);
    const std::vector<std::wstring> sub = Under(kPlain, kSubAndBelow);
    const std::wstring c = kPlain + L"\\c.txt";
    const std::vector<std::wstring> withoutC = Except(plain, {c});
    const WalkRow kRows[] = {
        {"an ordinary tree, with names without ANSI form and a path longer than MAX_PATH", kPlain,
         [](FakeAdvapi&) {}, kGrantDone, kGrantWriteFailed, plain, {}},
        {"a folder whose own DACL is protected", kPlain,
         [](FakeAdvapi& advapi) { advapi.protectedDacls.insert(IdentityOf(kPlain)); }, kGrantDone,
         kGrantWriteFailed, plain, {}},
        {"a subfolder with a protected DACL", kPlain,
         [](FakeAdvapi& advapi) { advapi.protectedDacls.insert(IdentityOf(kPlain + L"\\sub")); },
         kGrantDone, kGrantWriteFailed, Except(plain, sub), sub},
        {"a subfolder that cannot be written", kPlain,
         [](FakeAdvapi& advapi) { advapi.unwritable.insert(IdentityOf(kPlain + L"\\sub")); },
         kGrantWriteFailed, kGrantWriteFailed, Except(plain, sub), sub, 0},
        {"a computation that gives no DACL, as Wine's", kPlain,
         [](FakeAdvapi& advapi) { advapi.computesNoDacl = true; }, kGrantWriteFailed,
         kGrantWriteFailed, {}, plain, 5},
        {"a hard link to a file outside the tree", kWalk + L"\\hardlink", [](FakeAdvapi&) {},
         kGrantLinkRefused, kGrantLinkRefused, {kWalk + L"\\hardlink\\other.txt"},
         {kWalk + L"\\outside.txt"}},
        // The real library does not enter the folder it could not write.
        {"a symbolic link two levels down", kWalk + L"\\symlink", [](FakeAdvapi&) {},
         kGrantLinkRefused, kGrantWriteFailed, {kWalk + L"\\symlink\\one"},
         {kPlain, kPlain + L"\\sub", kPlain + L"\\c.txt"}},
        // Windows looks a path up again from the root; a held folder's
        // handle still lists what it held.
        {"a folder below made to lead elsewhere", kPlain,
         [](FakeAdvapi& advapi) {
             advapi.junction = kPlain + L"\\sub";
             advapi.junctionTarget = kWalk + L"\\hardlink";
         },
         kGrantDone, kGrantWriteFailed, plain, {kWalk + L"\\hardlink\\other.txt"}},
        {"a folder above made to lead elsewhere", kPlain + L"\\sub",
         [](FakeAdvapi& advapi) {
             advapi.junction = kPlain;
             advapi.junctionTarget = L"C:\\vk-links\\target";
         },
         kGrantDone, kGrantWriteFailed, Except(sub, {kPlain + L"\\sub"}),
         {L"C:\\vk-links\\target\\sub"}},
        {"an object below whose open is refused", kPlain,
         [](FakeAdvapi& advapi) { advapi.failedOpens[L"c.txt"] = kAccessDenied; }, kGrantWriteFailed,
         kGrantWriteFailed, Except(plain, {kPlain + L"\\c.txt"}), {kPlain + L"\\c.txt"}},
        {"a file that an application holds without sharing", kPlain,
         [](FakeAdvapi& advapi) {
             advapi.heldByApplication = vktest::Handle(
                 CreateFileW((kPlain + L"\\c.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                             nullptr, OPEN_EXISTING, 0, nullptr));
             REQUIRE(advapi.heldByApplication.IsValid());
         },
         kGrantDone, kGrantWriteFailed, plain, {}},
        {"an open that starts an oplock break its holder acknowledges", kPlain,
         [](FakeAdvapi& advapi) { advapi.oplocked[L"a.txt"] = 1; }, kGrantDone,
         kGrantWriteFailed, plain, {}},
        {"an oplock whose break is never acknowledged", kPlain,
         [](FakeAdvapi& advapi) { advapi.oplocked[L"c.txt"] = 1000; }, kGrantWriteFailed,
         kGrantWriteFailed, Except(plain, {kPlain + L"\\c.txt"}), {kPlain + L"\\c.txt"}},
        {"a file's tree name removed right after its open (every name asked)",
         kWalk + L"\\hardlink", [](FakeAdvapi& advapi) { advapi.RemoveAfterOpen(true); },
         kGrantLinkRefused, kGrantLinkRefused, {kWalk + L"\\hardlink\\other.txt"},
         {kWalk + L"\\outside.txt"}},
        {"a file's tree name removed right after its open (counted)", kWalk + L"\\hardlink",
         [](FakeAdvapi& advapi) { advapi.RemoveAfterOpen(false); }, kGrantLinkRefused,
         kGrantLinkRefused, {kWalk + L"\\hardlink\\other.txt"}, {kWalk + L"\\outside.txt"}},
        // What Wine cannot show: the handle of the link itself says it is one.
        {"a folder below made a junction after its folder was listed", kPlain,
         [](FakeAdvapi& a) {
             a.reparse[L"sub"] = {IO_REPARSE_TAG_MOUNT_POINT, false, L"C:\\vk-links\\target"};
         },
         kGrantLinkRefused, kGrantWriteFailed, Except(plain, sub),
         {sub[0], sub[1], L"C:\\vk-links\\target\\sub"}},
        {"a file with more names than the answer holds", kPlain,
         [](FakeAdvapi& a) { a.answeredNames[L"c.txt"] = {kPlain, L"c.txt", nt::kBufferOverflow}; },
         kGrantLinkRefused, kGrantWriteFailed, withoutC, {c}},
        {"a file whose only name is in another folder, under the same name", kPlain,
         [](FakeAdvapi& a) { a.answeredNames[L"c.txt"] = {kWalk, L"c.txt", 0}; },
         kGrantLinkRefused, kGrantWriteFailed, withoutC, {c}},
        {"a listing that gives a walked folder again under a later name", kPlain,
         [](FakeAdvapi& a) { a.againIn = kPlain, a.againName = L"zz-again", a.againOf = L"sub"; },
         kGrantDone, kGrantWriteFailed, plain, {}},
        {"an object below whose file IDs are unknown (all ones)", kPlain,
         [](FakeAdvapi& a) { a.unknownIds[L"c.txt"] = true; }, kGrantWriteFailed,
         kGrantWriteFailed, withoutC, {c}},
        {"a file below with a 128-bit file ID only, as on a large ReFS volume", kPlain,
         [](FakeAdvapi& a) { a.unknownIds[L"c.txt"] = false; }, kGrantDone,
         kGrantWriteFailed, plain, {}},
        {"an object below whose delete is pending", kPlain,
         [](FakeAdvapi& a) { a.failedOpens[L"c.txt"] = nt::kDeletePending; }, kGrantWriteFailed,
         kGrantWriteFailed, withoutC, {c}},
        {"an oplock break acknowledged after several tries", kPlain,
         [](FakeAdvapi& a) { a.oplocked[L"a.txt"] = 4; }, kGrantDone, kGrantWriteFailed, plain, {}},
        {"a file that Windows compressed (WOF) below", kPlain,
         [](FakeAdvapi& a) { a.reparse[L"c.txt"] = {kReparseTagWof, true, L""}; }, kGrantDone,
         kGrantWriteFailed, plain, {}},
        {"a folder below that a cloud provider fills: written, not entered", kPlain,
         [](FakeAdvapi& a) { a.reparse[L"sub"] = {kReparseTagCloud, true, L""}; }, kGrantDone,
         kGrantWriteFailed, Except(plain, Except(sub, {sub[0]})), Except(sub, {sub[0]}), 0, 1},
        {"an app execution alias below", kPlain,
         [](FakeAdvapi& a) { a.reparse[L"c.txt"] = {nt::kReparseTagAppExecLink, true, L""}; },
         kGrantLinkRefused, kGrantWriteFailed, withoutC, {c}},
    };
    const Grants grants;
    for (const WalkRow& row : kRows) {
        const std::string what = row.what;
        CAPTURE(what);
        const std::string folder = Utf8(row.folder);
        const LONG full = grants.Full(folder);
        CHECK(full == row.realStatus);
        CHECK(grants.WithMask(folder, kReadAndExecute) == row.realStatus);

        FakeAdvapi before;
        row.arrange(before);
        FakeAdvapi advapi;
        // The audit's handles close with it: a file held without sharing is held once.
        before.heldByApplication = vktest::Handle();
        row.arrange(advapi);
        const size_t wasProtected = advapi.protectedDacls.count(IdentityOf(row.folder));
        const LONG seam = advapi.Grant(folder.c_str(), kReadAndExecute);
        CHECK(seam == row.status);
        MESSAGE(what << ": " << folder << " -> " << full << ", through the seam " << seam
                         << ", DACLs written " << advapi.written.size());
        CHECK(advapi.WritesOf(row.folder).size() == 2);
        CHECK(advapi.protectedDacls.count(IdentityOf(row.folder)) == wasProtected);
        for (const std::wstring& path : row.written) {
            CAPTURE(Utf8(path));
            CHECK(advapi.WritesOf(path).size() == 1);
            if (advapi.WritesOf(path).size() != 1)
                continue; // the next rows still tell what they find
            CHECK(advapi.WritesOf(ParentOf(path)).at(0) < advapi.WritesOf(path)[0]);
            CHECK(AcesOf(advapi.DaclOf(path)) == InheritedFrom(advapi, path));
        }
        for (const std::wstring& path : row.unchanged) {
            CAPTURE(Utf8(path));
            CHECK(advapi.WritesOf(path).empty());
            CHECK(AcesOf(advapi.DaclOf(path)) == Untouched());
        }
        CHECK(advapi.written.size() == 2 + row.written.size());
        CHECK_FALSE(advapi.wroteNoDacl);
        CHECK_FALSE(advapi.wroteOtherList);
        CHECK(advapi.writtenBeforeItsLine.empty());
        CheckTidy(advapi);
        CheckAudit(row, before, advapi);

        // Granted again, the entries inherited before are replaced, not added to.
        advapi.heldByApplication = vktest::Handle();
        FakeAdvapi again;
        row.arrange(again);
        again.dacls = advapi.dacls;
        again.protectedDacls = advapi.protectedDacls;
        CHECK(again.Grant(folder.c_str(), kReadAndExecute) == row.status);
        for (const std::wstring& path : row.written)
            CHECK(AcesOf(again.DaclOf(path)) == InheritedFrom(again, path));
    }
}

TEST_CASE("a file below gets the files' entry of the folder's new DACL, beside its own entries")
{
    FakeAdvapi advapi;
    REQUIRE(advapi.Grant(Utf8(kPlain).c_str(), kReadAndExecute) == kGrantDone);
    CHECK(AcesOf(advapi.DaclOf(kPlain + L"\\c.txt")) ==
          Lines({kAdministratorsAce, AceText(kAdministratorsSid, GENERIC_ALL, INHERITED_ACE),
                 AceText(kUsersSid, GENERIC_ALL, INHERITED_ACE)}));
}

TEST_CASE("a folder held for its walk cannot be swapped after its own writes, and is walked from its handle")
{
    const ScopedFolder folder("C:\\vk-grant\\swapped");
    const std::string moved = "C:\\vk-grant\\moved";
    const std::string planted = folder.Path() + "\\planted.txt";
    FakeAdvapi advapi;
    // Users have full control of it now.
    bool renamed = true;
    advapi.afterSecondWrite = [&] {
        renamed = MoveFileA(folder.Path().c_str(), moved.c_str()) != FALSE;
        WriteFileBytes(planted, "");
    };
    CHECK(advapi.Grant(folder.Path().c_str(), GENERIC_ALL) == kGrantDone);
    CHECK_FALSE(renamed);
    CHECK(advapi.WritesOf(Widen(planted)).size() == 1);
    RemoveTree(moved);
}

// --- The backup that a grant keeps, and the restore -------------------------------------

namespace {

// The backups of `folder` in the backup folder, oldest first.
std::vector<std::string> BackupsOf(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((BackupFolderPath() + "\\*.txt").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string text = ReadFileBytes(BackupFolderPath() + "\\" + found.cFileName);
        if (text.find("\r\nFOLDER\t" + folder + "\r\n") != std::string::npos)
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string NewestBackupOf(const std::string& folder)
{
    const std::vector<std::string> names = BackupsOf(folder);
    REQUIRE_FALSE(names.empty());
    return names.back();
}

// The object lines of a backup: what follows the header.
size_t ObjectLines(const std::string& name)
{
    const std::string text = ReadFileBytes(BackupFolderPath() + "\\" + name);
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) - 3;
}

std::vector<BYTE> DaclFromText(const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                 &descriptor, nullptr));
    const std::vector<BYTE> dacl = CopyOf(DaclIn(descriptor));
    LocalFree(descriptor);
    return dacl;
}

// Every object's DACL and whether it is protected, by path.
std::map<std::wstring, std::string> Snapshot(FakeAdvapi& advapi,
                                             const std::vector<std::wstring>& paths)
{
    std::map<std::wstring, std::string> dacls;
    for (const std::wstring& path : paths)
        dacls[path] = AcesOf(advapi.DaclOf(path)) +
                      (advapi.protectedDacls.count(IdentityOf(path)) != 0 ? "protected" : "");
    return dacls;
}

// A restore with the store of DACLs that `granted` left.
struct Restored {
    LONG status;
    RestoreCounts counts;
};
Restored RestoreAfter(FakeAdvapi& granted, FakeAdvapi& restoring, const std::string& backup)
{
    restoring.dacls = granted.dacls;
    restoring.protectedDacls = granted.protectedDacls;
    Restored restored = {0, {}};
    restored.status = restoring.Restore(backup, restored.counts);
    CheckTidy(restoring);
    return restored;
}

} // namespace

TEST_CASE("a grant keeps each DACL before writing it, and a restore puts each back exactly")
{
    std::vector<std::wstring> paths = Under(kPlain, kPlainBelow);
    paths.push_back(kPlain);
    const std::string plain = Utf8(kPlain);
    struct Row {
        const char* what;
        std::function<void()> afterGrant;
        std::vector<std::wstring> left;  // restored to nothing
        std::wstring added;              // made after the grant
    };
    const std::wstring fresh = kPlain + L"\\sub\\new.txt";
    const std::wstring replaced = kPlain + L"\\c.txt";
    const Row kRows[] = {
        {"a file made after the grant", [&] { WriteFileBytes(Utf8(fresh), "new"); }, {}, fresh},
        {"a file deleted and made again under its name",
         [&] {
             // Made while the first still is: another file ID, as on NTFS.
             WriteFileBytes(Utf8(replaced) + ".new", "again");
             RemoveTree(Utf8(replaced));
             REQUIRE(MoveFileW((replaced + L".new").c_str(), replaced.c_str()));
         },
         {replaced}, L""},
    };
    for (const Row& row : kRows) {
        const std::string what = row.what;
        CAPTURE(what);
        FakeAdvapi advapi;
        // Explicit and inherited entries, and a protected folder.
        advapi.DaclOf(kPlain) = DaclFromText(L"D:(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
        advapi.protectedDacls.insert(IdentityOf(kPlain));
        advapi.DaclOf(kPlain + L"\\sub\\a.txt") = DaclFromText(L"D:(A;;0x1301bf;;;BU)(A;ID;FA;;;BA)");
        const std::map<std::wstring, std::string> before = Snapshot(advapi, paths);
        REQUIRE(advapi.Grant(plain.c_str(), GENERIC_ALL) == kGrantDone);
        REQUIRE(Snapshot(advapi, paths) != before);
        const std::string backup = NewestBackupOf(plain);
        CHECK(ObjectLines(backup) == 1 + kPlainBelow.size());
        row.afterGrant();

        FakeAdvapi restoring;
        const Restored restored = RestoreAfter(advapi, restoring, backup);
        CHECK(restored.status == kGrantDone);
        CHECK(restored.counts.restored == static_cast<long>(1 + kPlainBelow.size() - row.left.size()));
        CHECK(restored.counts.left == static_cast<long>(row.left.size()));
        CHECK(restored.counts.added == (row.added.empty() ? 0 : 1));
        CHECK(restored.counts.failed == 0);
        std::map<std::wstring, std::string> expected = before;
        for (const std::wstring& path : row.left) {
            CHECK(restoring.WritesOf(path).empty());
            expected.erase(path);
        }
        std::map<std::wstring, std::string> after = Snapshot(restoring, paths);
        for (const std::wstring& path : row.left)
            after.erase(path);
        CHECK(after == expected);
        if (!row.added.empty())
            CHECK(AcesOf(restoring.DaclOf(row.added)) == InheritedFrom(restoring, row.added));
        // Run again, a restore changes nothing more.
        FakeAdvapi again;
        CHECK(RestoreAfter(restoring, again, backup).status == kGrantDone);
        CHECK(Snapshot(again, paths) == Snapshot(restoring, paths));
        RemoveTree(Utf8(fresh));
    }
}

TEST_CASE("a restore leaves a junction put in place of a saved folder, and a folder that is another")
{
    const std::string plain = Utf8(kPlain);
    FakeAdvapi advapi;
    REQUIRE(advapi.Grant(plain.c_str(), GENERIC_ALL) == kGrantDone);
    const std::string backup = NewestBackupOf(plain);
    FakeAdvapi restoring;
    restoring.linkedSinceListing.insert(L"deeper");
    const Restored restored = RestoreAfter(advapi, restoring, backup);
    CHECK(restored.status == kGrantDone);
    CHECK(restored.counts.left == 1);
    CHECK(restored.counts.missing == 1); // deeper\b.txt, behind it
    CHECK(restoring.WritesOf(kPlain + L"\\sub\\deeper").empty());
    CHECK(restoring.WritesOf(kPlain + L"\\sub\\deeper\\b.txt").empty());
    // The named folder replaced: nothing written.
    const ScopedFolder folder("C:\\vk-grant\\replaced");
    FakeAdvapi granting;
    REQUIRE(granting.Grant(folder.Path().c_str(), GENERIC_ALL) == kGrantDone);
    const std::string replacedBackup = NewestBackupOf(folder.Path());
    MakeFolders(folder.Path() + "2");
    RemoveTree(folder.Path());
    REQUIRE(MoveFileA((folder.Path() + "2").c_str(), folder.Path().c_str()));
    FakeAdvapi notRestoring;
    CHECK(RestoreAfter(granting, notRestoring, replacedBackup).status == kGrantLinkRefused);
    CHECK(notRestoring.writes.empty());
}

TEST_CASE("a grant stopped after some objects leaves a backup of exactly those, which restores them")
{
    const std::string plain = Utf8(kPlain);
    FakeAdvapi advapi;
    advapi.opensBeforeStop = 3;
    CHECK(advapi.Grant(plain.c_str(), GENERIC_ALL) == kGrantWriteFailed);
    REQUIRE(advapi.written.size() == 2 + 3);
    const std::string backup = NewestBackupOf(plain);
    CHECK(ObjectLines(backup) == 1 + 3);
    FakeAdvapi restoring;
    const Restored restored = RestoreAfter(advapi, restoring, backup);
    CHECK(restored.counts.restored == 1 + 3);
    CHECK(restored.counts.left + restored.counts.failed == 0);
    // The objects it wrote below the folder had the DACL that every object
    // had before.
    for (size_t i = 2; i < advapi.writes.size(); ++i)
        CHECK(AcesOf(restoring.DaclOfObject(advapi.writes[i].identity)) == Untouched());
}

TEST_CASE("a backup folder that a standard user made or may change is refused before anything is written")
{
    const ScopedFolder folder("C:\\vk-grant\\planted");
    struct Row {
        const wchar_t* sddl;
        LONG status;
        const char* what;
        bool junction = false;
    };
    const Row kRows[] = {
        {L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(D;OICI;FA;;;WD)",
         kGrantDone, "the administrators', others only reading"},
        {L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", kGrantBackupRefused,
         "another user's"},
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", kGrantBackupRefused,
         "Users may change what it holds"},
        {L"O:BAD:P(A;OICI;FA;;;BA)(A;CIIO;0x6;;;BU)", kGrantBackupRefused,
         "Users may add to it"},
        {L"O:BA", kGrantBackupRefused, "no DACL at all"},
        {L"", kGrantBackupRefused, "a junction to a folder elsewhere", true},
    };
    for (const Row& row : kRows) {
        const std::string what = row.what;
        CAPTURE(what);
        FakeAdvapi advapi;
        advapi.backupFolderSddl = row.sddl;
        if (row.junction)
            advapi.linkedSinceListing.insert(L"VK_DACL");
        CHECK(advapi.Grant(folder.Path().c_str(), GENERIC_ALL) == row.status);
        CHECK(advapi.written.empty() == (row.status != kGrantDone));
        CheckTidy(advapi);
        FakeAdvapi restoring;
        restoring.backupFolderSddl = row.sddl;
        restoring.linkedSinceListing = advapi.linkedSinceListing;
        RestoreCounts counts;
        CHECK(restoring.Restore(NewestBackupOf(folder.Path()), counts) ==
              (row.status == kGrantDone ? kGrantDone : kGrantBackupRefused));
    }
}

TEST_CASE("each folder keeps its 20 newest backups; the 21st grant removes the oldest")
{
    const ScopedFolder folder("C:\\vk-grant\\kept");
    const ScopedFolder other("C:\\vk-grant\\other");
    FakeAdvapi first;
    REQUIRE(first.Grant(other.Path().c_str(), GENERIC_ALL) == kGrantDone);
    std::vector<std::string> seen;
    for (int grant = 1; grant <= 21; ++grant) {
        FakeAdvapi advapi;
        REQUIRE(advapi.Grant(folder.Path().c_str(), GENERIC_ALL) == kGrantDone);
        const std::vector<std::string> backups = BackupsOf(folder.Path());
        if (grant <= 20)
            seen = backups;
        CHECK(backups.size() == static_cast<size_t>(grant <= 20 ? grant : 20));
    }
    const std::vector<std::string> kept = BackupsOf(folder.Path());
    CHECK(std::find(kept.begin(), kept.end(), seen.front()) == kept.end());
    CHECK(std::equal(seen.begin() + 1, seen.end(), kept.begin()));
    CHECK(BackupsOf(other.Path()).size() == 1);
}

TEST_CASE("the backup reaches the disk once a batch of at most 256 objects, each line before its object's write")
{
    const ScopedFolder folder("C:\\vk-grant\\many");
    const int kFiles = 600;
    for (int i = 0; i < kFiles; ++i)
        WriteFileBytes(folder.Path() + "\\f" + std::to_string(i) + ".txt", "");
    FakeAdvapi advapi;
    REQUIRE(advapi.Grant(folder.Path().c_str(), GENERIC_ALL) == kGrantDone);
    CHECK(advapi.written.size() == 2 + kFiles);
    // The folder's own line, then one flush a batch.
    CHECK(advapi.flushedBackups.size() == 1 + (kFiles + 255) / 256);
    CHECK(advapi.writtenBeforeItsLine.empty());
}
