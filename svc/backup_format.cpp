#include "backup_format.h"

#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

const char kSignature[] = "VK-DACL-BACKUP 1";
const char kByteOrderMark[] = "\xEF\xBB\xBF";
const WCHAR kFolderKey[] = L"FOLDER\t";
const WCHAR kTimeKey[] = L"TIME\t";
// Lines of the header: the signature, the folder, the time.
const int kHeaderLines = 3;
// A backup larger than this is none of ours: the largest tree's is far smaller.
const DWORD kLargestBackup = 512 * 1024 * 1024;
// The header holds a path of fewer than MAX_PATH characters, each at most 9
// bytes escaped.
const LONGLONG kLargestHeader = 4096 + 9 * MAX_PATH;

HANDLE Heap() { return GetProcessHeap(); }

bool NeedsEscape(WCHAR character) { return character < L' ' || character == L'%'; }

int HexDigit(WCHAR character)
{
    if (character >= L'0' && character <= L'9')
        return character - L'0';
    if (character >= L'A' && character <= L'F')
        return character - L'A' + 10;
    if (character >= L'a' && character <= L'f')
        return character - L'a' + 10;
    return -1;
}

// Appends `wide` as UTF-8.
bool AppendUtf8(HeapBuffer& text, const WCHAR* wide, int length)
{
    if (length == 0)
        return true;
    // At most three bytes a UTF-16 unit.
    const SIZE_T room = static_cast<SIZE_T>(length) * 3;
    if (!text.Reserve(text.Size() + room))
        return false;
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length,
                                         reinterpret_cast<char*>(text.Data() + text.Size()),
                                         static_cast<int>(room), nullptr, nullptr);
    if (size <= 0)
        return false;
    text.SetSize(text.Size() + static_cast<SIZE_T>(size));
    return true;
}

bool AppendAscii(HeapBuffer& text, const char* ascii)
{
    return text.Append(ascii, std::strlen(ascii));
}

// The path with '%' and control characters as %XX.
bool AppendEscaped(HeapBuffer& text, const WCHAR* path, ULONG length)
{
    ULONG start = 0;
    for (ULONG i = 0; i < length; ++i) {
        if (!NeedsEscape(path[i]))
            continue;
        char escape[4] = {'%'};
        PutDigits(escape + 1, path[i], 2, 16);
        if (!AppendUtf8(text, path + start, static_cast<int>(i - start)) ||
            !AppendAscii(text, escape))
            return false;
        start = i + 1;
    }
    return AppendUtf8(text, path + start, static_cast<int>(length - start));
}

// Undoes AppendEscaped in place; false on a broken escape.
bool Unescape(WCHAR* path, ULONG& length)
{
    ULONG out = 0;
    for (ULONG i = 0; i < length; ++i) {
        if (path[i] != L'%') {
            path[out++] = path[i];
            continue;
        }
        if (i + 2 >= length)
            return false;
        const int high = HexDigit(path[i + 1]);
        const int low = HexDigit(path[i + 2]);
        if (high < 0 || low < 0)
            return false;
        path[out++] = static_cast<WCHAR>(high * 16 + low);
        i += 2;
    }
    length = out;
    path[out] = L'\0';
    return true;
}

bool ParseHex(const WCHAR* text, const WCHAR* end, ULONGLONG& value)
{
    if (text == end || end - text > 16)
        return false;
    value = 0;
    for (; text != end; ++text) {
        const int digit = HexDigit(*text);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<ULONGLONG>(digit);
    }
    return true;
}

// The next line of `text` (terminated in place), or null when no whole
// line is left.
WCHAR* NextLine(WCHAR*& text, WCHAR* end)
{
    WCHAR* const line = text;
    for (WCHAR* at = text; at + 1 < end; ++at) {
        if (at[0] == L'\r' && at[1] == L'\n') {
            *at = L'\0';
            text = at + 2;
            return line;
        }
    }
    return nullptr;
}

bool StartsWith(const WCHAR* text, const WCHAR* prefix)
{
    return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

// "ID<TAB>control<TAB>DACL<TAB>path" into `object`.
bool ParseObject(WCHAR* line, SavedObject& object)
{
    WCHAR* fields[4];
    fields[0] = line;
    for (int i = 1; i < 4; ++i) {
        WCHAR* tab = std::wcschr(fields[i - 1], L'\t');
        if (tab == nullptr)
            return false;
        *tab = L'\0';
        fields[i] = tab + 1;
    }
    ObjectId id = {0, 0};
    ULONGLONG control = 0;
    const size_t idLength = std::wcslen(fields[0]);
    const size_t highLength = idLength > 16 ? idLength - 16 : 0;
    if ((highLength > 0 && !ParseHex(fields[0], fields[0] + highLength, id.high)) ||
        !ParseHex(fields[0] + highLength, fields[0] + idLength, id.low) ||
        !ParseHex(fields[1], fields[1] + std::wcslen(fields[1]), control) || control > 0xFFFF ||
        fields[2][0] == L'\0')
        return false;
    ULONG length = static_cast<ULONG>(std::wcslen(fields[3]));
    if (length == 0 || !Unescape(fields[3], length))
        return false;
    object = {fields[3], length, id,
              static_cast<SECURITY_DESCRIPTOR_CONTROL>(control & kKeptControl), fields[2], false};
    return true;
}

int ComparePaths(const WCHAR* one, ULONG oneLength, const WCHAR* other, ULONG otherLength)
{
    const int order = std::wmemcmp(one, other, std::min(oneLength, otherLength));
    if (order != 0)
        return order;
    return oneLength < otherLength ? -1 : oneLength > otherLength ? 1 : 0;
}

// The file, freshly opened, from its start up to `most` bytes.
bool ReadStart(HANDLE file, HeapBuffer& bytes, LONGLONG most)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > kLargestBackup)
        return false;
    size.QuadPart = std::min(size.QuadPart, most);
    if (!bytes.Reserve(static_cast<SIZE_T>(size.QuadPart) + sizeof(WCHAR)))
        return false;
    DWORD read = 0;
    if (!ReadFile(file, bytes.Data(), static_cast<DWORD>(size.QuadPart), &read, nullptr) ||
        read != static_cast<DWORD>(size.QuadPart))
        return false;
    bytes.SetSize(read);
    return true;
}

} // namespace

HeapBuffer::~HeapBuffer()
{
    if (data_ != nullptr)
        HeapFree(Heap(), 0, data_);
}

bool HeapBuffer::Reserve(SIZE_T size)
{
    if (size <= capacity_)
        return true;
    SIZE_T grown = capacity_ < 4096 ? 4096 : capacity_;
    while (grown < size)
        grown *= 2;
    void* block = data_ == nullptr ? HeapAlloc(Heap(), 0, grown) : HeapReAlloc(Heap(), 0, data_, grown);
    if (block == nullptr)
        return false;
    data_ = static_cast<BYTE*>(block);
    capacity_ = grown;
    return true;
}

bool HeapBuffer::Append(const void* bytes, SIZE_T size)
{
    if (!Reserve(size_ + size))
        return false;
    std::memcpy(data_ + size_, bytes, size);
    size_ += size;
    return true;
}

bool AppendHeader(HeapBuffer& text, const WCHAR* folder, const SYSTEMTIME& now)
{
    char time[64];
    PutTime(time, now, true);
    return AppendAscii(text, kByteOrderMark) && AppendAscii(text, kSignature) &&
           AppendAscii(text, "\r\nFOLDER\t") &&
           AppendEscaped(text, folder, static_cast<ULONG>(std::wcslen(folder))) &&
           AppendAscii(text, "\r\nTIME\t") && AppendAscii(text, time) &&
           AppendAscii(text, " UTC\r\n");
}

bool LastDaclText::Append(HeapBuffer& text, const SecurityApi& api, const BackupApi& backupApi,
                          PSECURITY_DESCRIPTOR current, SECURITY_DESCRIPTOR_CONTROL control)
{
    // A missing or NULL DACL is converted each time: nothing to compare it by.
    const PACL dacl = DaclOf(api, current);
    if (dacl == nullptr || utf8_.Size() == 0 || control != control_ ||
        dacl->AclSize != dacl_.Size() || std::memcmp(dacl, dacl_.Data(), dacl->AclSize) != 0) {
        LocalMemory<LPWSTR> sddl;
        ULONG length = 0;
        utf8_.Clear();
        dacl_.Clear();
        if (!backupApi.toText(current, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, sddl.Receive(),
                              &length) ||
            sddl.Get() == nullptr ||
            !AppendUtf8(utf8_, sddl.Get(), static_cast<int>(std::wcslen(sddl.Get()))) ||
            (dacl != nullptr && !dacl_.Append(dacl, dacl->AclSize))) {
            utf8_.Clear();
            return false;
        }
        control_ = control;
    }
    return text.Append(utf8_.Data(), utf8_.Size());
}

bool AppendObject(HeapBuffer& text, const SecurityApi& api, const BackupApi& backupApi,
                  LastDaclText& last, const WCHAR* path, ULONG pathLength, const ObjectId& id,
                  PSECURITY_DESCRIPTOR current)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!api.getSecurityDescriptorControl(current, &control, &revision))
        return false;
    control &= kKeptControl;
    char numbers[64];
    char* at = numbers;
    if (id.high != 0)
        at = PutDigits(at, id.high, 16, 16);
    at = PutDigits(at, id.low, 16, 16);
    *at++ = '\t';
    at = PutDigits(at, control, 4, 16);
    *at++ = '\t';
    *at = '\0';
    return AppendAscii(text, numbers) && last.Append(text, api, backupApi, current, control) &&
           AppendAscii(text, "\t") && AppendEscaped(text, path, pathLength) &&
           AppendAscii(text, "\r\n");
}

bool BackupText::Read(HANDLE file)
{
    return ReadStart(file, bytes_, kLargestBackup) && Parse(false);
}

bool BackupText::ReadHeader(HANDLE file, bool countObjects)
{
    return ReadStart(file, bytes_, countObjects ? kLargestBackup : kLargestHeader) && Parse(true);
}

bool BackupText::Parse(bool headerOnly)
{
    const char* bytes = reinterpret_cast<const char*>(bytes_.Data());
    int size = static_cast<int>(bytes_.Size());
    const int mark = static_cast<int>(std::strlen(kByteOrderMark));
    if (size < mark || std::memcmp(bytes, kByteOrderMark, mark) != 0)
        return false;
    bytes += mark;
    size -= mark;
    // A listing converts only the header and counts the lines after it.
    int converted = size;
    if (headerOnly) {
        int lines = 0;
        for (converted = 0; converted < size && lines < kHeaderLines; ++converted)
            lines += bytes[converted] == '\n';
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes, converted, nullptr, 0);
    if (converted > 0 && length <= 0)
        return false;
    if (!wide_.Reserve((static_cast<SIZE_T>(length) + 1) * sizeof(WCHAR)))
        return false;
    WCHAR* text = reinterpret_cast<WCHAR*>(wide_.Data());
    MultiByteToWideChar(CP_UTF8, 0, bytes, converted, text, length);
    text[length] = L'\0';
    WCHAR* const end = text + length;

    WCHAR* signature = NextLine(text, end);
    WCHAR* folder = NextLine(text, end);
    WCHAR* time = NextLine(text, end);
    if (signature == nullptr || folder == nullptr || time == nullptr ||
        std::wcscmp(signature, L"VK-DACL-BACKUP 1") != 0 || !StartsWith(folder, kFolderKey) ||
        !StartsWith(time, kTimeKey))
        return false;
    WCHAR* folderName = folder + std::wcslen(kFolderKey);
    ULONG folderLength = static_cast<ULONG>(std::wcslen(folderName));
    if (!Unescape(folderName, folderLength))
        return false;
    folder_ = folderName;
    time_ = time + std::wcslen(kTimeKey);
    count_ = 0;
    if (headerOnly) {
        // Whole lines only: an interrupted grant may have cut the last one.
        for (int i = converted; i < size; ++i)
            count_ += bytes[i] == '\n';
        return true;
    }

    ULONG lines = 0;
    for (const WCHAR* at = text; at < end; ++at)
        lines += *at == L'\n';
    if (!index_.Reserve((lines + 1) * sizeof(SavedObject)))
        return false;
    objects_ = reinterpret_cast<SavedObject*>(index_.Data());
    for (WCHAR* line = NextLine(text, end); line != nullptr; line = NextLine(text, end))
        if (!ParseObject(line, objects_[count_++]))
            return false;
    std::sort(objects_, objects_ + count_, [](const SavedObject& one, const SavedObject& other) {
        return ComparePaths(one.path, one.pathLength, other.path, other.pathLength) < 0;
    });
    return true;
}

SavedObject* BackupText::Find(const WCHAR* path, ULONG length) const
{
    SavedObject* const end = objects_ + count_;
    SavedObject* found = std::lower_bound(objects_, end, 0, [&](const SavedObject& object, int) {
        return ComparePaths(object.path, object.pathLength, path, length) < 0;
    });
    return found != end && ComparePaths(found->path, found->pathLength, path, length) == 0 ? found
                                                                                          : nullptr;
}
