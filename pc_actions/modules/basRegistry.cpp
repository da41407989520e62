#include "basRegistry.h"

#include "ansi_argument.h"
#include "binding_table.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr wchar_t kSeparator = L'\\';

struct RootKey {
    const wchar_t* name;
    Long32 handle;
};

// Only these full names, in this order; no abbreviations.
const RootKey kRootKeys[] = {
    {L"HKEY_CLASSES_ROOT", static_cast<Long32>(0x80000000u)},
    {L"HKEY_CURRENT_USER", static_cast<Long32>(0x80000001u)},
    {L"HKEY_LOCAL_MACHINE", static_cast<Long32>(0x80000002u)},
    {L"HKEY_USERS", static_cast<Long32>(0x80000003u)},
    {L"HKEY_PERFORMANCE_DATA", static_cast<Long32>(0x80000004u)},
};

// An unrecognised root: every registry call made with it fails.
constexpr Long32 kNullRoot = 0;
// The root part's length is a 16-bit count; no root has a longer name.
constexpr std::size_t kLongestRootPart = 32767;

constexpr DWORD kTextBufferSize = 256;
constexpr DWORD kNumberBufferSize = 5;
constexpr DWORD kDwordSize = 4;

// Under WOW64 every key is opened, created and deleted in the 64-bit view:
// that is the view Windows itself reads (the font engine's GRE_Initialize
// above all), while 64-bit XP, Server 2003, Vista and Server 2008 would
// otherwise redirect a 32-bit program to Wow6432Node.
constexpr REGSAM kNativeView = KEY_WOW64_64KEY; // 0x100

constexpr Long32 kExistsAccess = KEY_ALL_ACCESS;
constexpr Long32 kReadAccess = KEY_READ;
constexpr Long32 kDeleteValueAccess = KEY_SET_VALUE;
constexpr REGSAM kCreateAccess = KEY_WRITE;

// --- The registry functions, bound through the table --------------------

// Asked at each operation (it costs one call): a Windows without
// IsWow64Process (before XP SP2) has no 64-bit view.
bool RunsUnderWow64()
{
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const Fn isWow64Process = BoundFunctionIfPresent<Fn>(Api::IsWow64Process);
    if (isWow64Process == nullptr)
        return false;
    using CurrentProcessFn = HANDLE(WINAPI*)();
    BOOL wow64 = FALSE;
    return isWow64Process(BoundFunction<CurrentProcessFn>(Api::GetCurrentProcess)(), &wow64) &&
           wow64;
}

REGSAM InView(REGSAM access)
{
    return RunsUnderWow64() ? access | kNativeView : access;
}

LONG OpenKey(HKEY root, LPCSTR subKey, REGSAM access, HKEY* key)
{
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
    return BoundFunction<Fn>(Api::RegOpenKeyExA)(root, subKey, 0, InView(access), key);
}

LONG CreateKey(HKEY root, LPSTR subKey, HKEY* key)
{
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM,
                             LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
    DWORD disposition = 0;
    return BoundFunction<Fn>(Api::RegCreateKeyExA)(root, subKey, 0, nullptr,
                                                   REG_OPTION_NON_VOLATILE,
                                                   InView(kCreateAccess), nullptr, key,
                                                   &disposition);
}

LONG QueryValue(HKEY key, LPSTR name, DWORD* type, BYTE* data, DWORD* length)
{
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    return BoundFunction<Fn>(Api::RegQueryValueExA)(key, name, nullptr, type, data, length);
}

LONG SetValue(HKEY key, LPSTR name, DWORD type, const BYTE* data, DWORD length)
{
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
    return BoundFunction<Fn>(Api::RegSetValueExA)(key, name, 0, type, data, length);
}

LONG DeleteValue(HKEY key, LPSTR name)
{
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR);
    return BoundFunction<Fn>(Api::RegDeleteValueA)(key, name);
}

// RegDeleteKeyA always works on the caller's own view; only the Ex form
// names the view, and every 64-bit Windows has it.
LONG DeleteKey(HKEY root, LPSTR subKey)
{
    if (RunsUnderWow64()) {
        using Fn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
        return BoundFunction<Fn>(Api::RegDeleteKeyExA)(root, subKey, kNativeView, 0);
    }
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR);
    return BoundFunction<Fn>(Api::RegDeleteKeyA)(root, subKey);
}

LONG CloseKey(HKEY key)
{
    using Fn = LONG(WINAPI*)(HKEY);
    return BoundFunction<Fn>(Api::RegCloseKey)(key);
}

// --- Paths and handles ------------------------------------------------------

HKEY ToHkey(Long32 key)
{
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<std::uint32_t>(key)));
}

Long32 FromHkey(HKEY key)
{
    return static_cast<Long32>(reinterpret_cast<ULONG_PTR>(key));
}

// A path without a backslash names a predefined root itself.
bool IsBareRoot(const std::wstring& keyPath)
{
    return keyPath.find(kSeparator) == std::wstring::npos;
}

// The text after the first backslash; the whole path when there is none.
std::wstring SubKeyOf(const std::wstring& keyPath)
{
    const std::size_t separator = keyPath.find(kSeparator);
    return separator == std::wstring::npos ? keyPath : keyPath.substr(separator + 1);
}

std::wstring ToUpperCase(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

bool IsTextType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The key an operation works on: a bare root's predefined handle, used as
// it is and never closed, or a key that the operation opened or created
// and closes itself.
class OperationKey {
public:
    static OperationKey Root(Long32 root) { return OperationKey(root, false); }
    static OperationKey Opened(Long32 key) { return OperationKey(key, key != kNoKey); }

    OperationKey(const OperationKey&) = delete;
    OperationKey& operator=(const OperationKey&) = delete;
    ~OperationKey()
    {
        // Reached with the key open only while a binding error travels up
        // from the operation; that error is the one the caller gets.
        if (owned_) {
            try {
                RegClose(key_);
            } catch (const BindingError&) {
            }
        }
    }

    bool OpenFailed() const { return key_ == kNoKey; }
    HKEY Get() const { return ToHkey(key_); }

    // Closes a key the operation opened: a failed close makes the
    // operation's status "not done", whatever it did before.
    Status16 Close(Status16 status)
    {
        if (!owned_)
            return status;
        owned_ = false;
        return RegClose(key_) == ERROR_SUCCESS ? status : kRegNotDone;
    }

private:
    OperationKey(Long32 key, bool owned) : key_(key), owned_(owned) {}

    Long32 key_;
    bool owned_;
};

// A bare root, or the key opened with `access`.
OperationKey KeyToUse(const std::wstring& keyPath, Long32 access)
{
    if (IsBareRoot(keyPath))
        return OperationKey::Root(RegRootFromPath(keyPath));
    return OperationKey::Opened(RegOpenPath(keyPath, access));
}

Status16 DeleteKeyOfPath(const std::wstring& keyPath)
{
    if (IsBareRoot(keyPath))
        return kRegNotDone; // a root key is never deleted
    AnsiText subKey(SubKeyOf(keyPath));
    return DeleteKey(ToHkey(RegRootFromPath(keyPath)), subKey.Get()) == ERROR_SUCCESS
               ? kRegDone
               : kRegNotDone;
}

bool IsNumberType(DWORD type)
{
    return type == REG_DWORD;
}

// The one query that every read goes through: opens the key of `keyPath`
// (or takes the bare root) and reads the value into `data` (`size` bytes).
// A value of a type that `accepts` is handed to `take` with the number of
// bytes stored, before the key is closed: a close that fails then makes
// the read "not done" with the output already taken.
template <typename Take>
Status16 QueryValueOfPath(const std::wstring& keyPath, const std::wstring& valueName, BYTE* data,
                          DWORD size, bool (*accepts)(DWORD), Take&& take)
{
    OperationKey key = KeyToUse(keyPath, kReadAccess);
    if (key.OpenFailed())
        return kRegNotDone;
    DWORD type = REG_NONE;
    DWORD stored = size;
    AnsiText name(valueName);
    if (QueryValue(key.Get(), name.Get(), &type, data, &stored) != ERROR_SUCCESS || !accepts(type))
        return key.Close(kRegNotDone);
    take(stored);
    return key.Close(kRegDone);
}

Status16 DeleteValueOfPath(const std::wstring& keyPath, const std::wstring& valueName)
{
    OperationKey key = KeyToUse(keyPath, kDeleteValueAccess);
    if (key.OpenFailed())
        return kRegNotDone;
    AnsiText name(valueName);
    const Status16 status =
        DeleteValue(key.Get(), name.Get()) == ERROR_SUCCESS ? kRegDone : kRegNotDone;
    return key.Close(status);
}

} // namespace

// --- Public operations -------------------------------------------------------

Status16 RegKeyExists(const std::wstring& keyPath)
{
    OperationKey key = OperationKey::Opened(RegOpenPath(keyPath, kExistsAccess));
    if (key.OpenFailed())
        return kRegNotDone;
    return key.Close(kRegDone);
}

Status16 RegSetDword(const std::wstring& keyPath, const std::wstring& valueName, Long32 value)
{
    OperationKey key = IsBareRoot(keyPath) ? OperationKey::Root(RegRootFromPath(keyPath))
                                           : OperationKey::Opened(RegCreatePath(keyPath));
    if (key.OpenFailed())
        return kRegNotDone;
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    const BYTE littleEndian[kDwordSize] = {
        static_cast<BYTE>(bits), static_cast<BYTE>(bits >> 8), static_cast<BYTE>(bits >> 16),
        static_cast<BYTE>(bits >> 24)};
    AnsiText name(valueName);
    const Status16 status =
        SetValue(key.Get(), name.Get(), REG_DWORD, littleEndian, kDwordSize) == ERROR_SUCCESS
            ? kRegDone
            : kRegNotDone;
    return key.Close(status);
}

Status16 RegGetString(const std::wstring& keyPath, const std::wstring& valueName,
                      std::wstring& text, Long32& length)
{
    char buffer[kTextBufferSize] = {};
    return QueryValueOfPath(keyPath, valueName, reinterpret_cast<BYTE*>(buffer), kTextBufferSize,
                            IsTextType, [&](DWORD stored) {
                                // The last stored byte, normally the
                                // terminating zero, is dropped.
                                const DWORD textLength = stored == 0 ? 0 : stored - 1;
                                length = static_cast<Long32>(textLength);
                                text = FromAnsi(buffer, textLength);
                            });
}

Status16 RegGetDword(const std::wstring& keyPath, const std::wstring& valueName, Long32& number)
{
    if (valueName.empty())
        return kRegNotDone;
    unsigned char buffer[kNumberBufferSize] = {};
    return QueryValueOfPath(keyPath, valueName, buffer, kNumberBufferSize, IsNumberType,
                            [&](DWORD) { number = BytesToLong(buffer); });
}

Status16 RegDeleteEntry(const std::wstring& keyPath, const std::wstring& valueName)
{
    if (valueName.empty())
        return DeleteKeyOfPath(keyPath);
    return DeleteValueOfPath(keyPath, valueName);
}

// --- Internal operations -----------------------------------------------------

Long32 RegOpenPath(const std::wstring& keyPath, Long32 accessMask)
{
    const Long32 root = RegRootFromPath(keyPath);
    std::wstring subKeyText = SubKeyOf(keyPath);
    if (!subKeyText.empty() && subKeyText.back() == kSeparator)
        subKeyText.pop_back(); // one trailing backslash only
    AnsiText subKey(subKeyText);
    HKEY key = nullptr;
    if (OpenKey(ToHkey(root), subKey.Get(), static_cast<REGSAM>(accessMask), &key) !=
        ERROR_SUCCESS)
        return kNoKey;
    return FromHkey(key);
}

Long32 RegCreatePath(const std::wstring& keyPath)
{
    const Long32 root = RegRootFromPath(keyPath);
    AnsiText subKey(SubKeyOf(keyPath)); // a trailing backslash stays
    HKEY key = nullptr;
    if (CreateKey(ToHkey(root), subKey.Get(), &key) != ERROR_SUCCESS)
        return kNoKey;
    return FromHkey(key);
}

Long32 RegClose(Long32 key)
{
    return CloseKey(ToHkey(key));
}

Long32 RegRootFromPath(const std::wstring& keyPath)
{
    const std::size_t separator = keyPath.find(kSeparator);
    const bool hasRootPart = separator != std::wstring::npos && separator > 0;
    if (hasRootPart && separator > kLongestRootPart)
        return kNullRoot;
    // A root before a sub-key is matched in any case, a bare root as written.
    const std::wstring rootName =
        hasRootPart ? ToUpperCase(keyPath.substr(0, separator)) : keyPath;
    for (const RootKey& root : kRootKeys)
        if (rootName == root.name)
            return root.handle;
    return kNullRoot;
}

Long32 BytesToLong(const unsigned char* bytes)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(bytes[0]) |
                               static_cast<std::uint32_t>(bytes[1]) << 8 |
                               static_cast<std::uint32_t>(bytes[2]) << 16 |
                               static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<Long32>(bits); // two's complement: the top bit is the sign
}
