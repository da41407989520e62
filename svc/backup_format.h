// The text of a backup of DACLs: our own format, read only by our restore
// (icacls' layout is not documented, and nothing here claims to match it).
// UTF-8 with a byte-order mark, so that Notepad of every Windows from XP on
// shows it, and CR LF after every line:
//
//   VK-DACL-BACKUP 1
//   FOLDER<TAB>C:\VESKA\DATA
//   TIME<TAB>2025-05-01 10:20:30.123 UTC
//   <file ID><TAB><control><TAB><DACL><TAB><path>
//   ...
//
// One line per object, in the order the grant wrote them, the named folder
// first. The file ID is the object's 64-bit NTFS file ID, 16 hexadecimal
// digits (32 where the file system has 128-bit IDs, the high half first,
// as ReFS does); the control is the descriptor's DACL bits (SE_DACL_PROTECTED
// 0x1000, SE_DACL_AUTO_INHERITED 0x0400, SE_DACL_AUTO_INHERIT_REQ 0x0100)
// in 4 hexadecimal digits; the DACL is its SDDL text ("D:PAI(A;OICI;FA;;;BA)...",
// the control bits again in its own spelling); the path is relative to the
// named folder, "." for the folder itself, with '%' and the control
// characters written as %XX so that a name never breaks a line. The last
// line may be cut short by an interrupted grant: a line without its CR LF
// is not read.
#pragma once

#include "backup_api.h"
#include "relative_open.h"
#include "security_api.h"

#include <windows.h>

// A growable block of the process heap.
class HeapBuffer {
public:
    HeapBuffer() = default;
    ~HeapBuffer();
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;

    bool Reserve(SIZE_T size);
    bool Append(const void* bytes, SIZE_T size);
    void Clear() { size_ = 0; }
    BYTE* Data() const { return data_; }
    SIZE_T Size() const { return size_; }
    void SetSize(SIZE_T size) { size_ = size; }
    SIZE_T Capacity() const { return capacity_; }

private:
    BYTE* data_ = nullptr;
    SIZE_T size_ = 0;
    SIZE_T capacity_ = 0;
};

// Writes `value` as exactly `digits` digits of `base` (10 or 16, capitals)
// at `at`, and returns the end: the console program writes its text without
// user32's wsprintf.
template <typename Char>
Char* PutDigits(Char* at, ULONGLONG value, int digits, unsigned base)
{
    for (int i = digits - 1; i >= 0; --i, value /= base)
        at[i] = static_cast<Char>("0123456789ABCDEF"[value % base]);
    return at + digits;
}

// A time, terminated: "YYYYMMDD-HHMMSS-mmm" for a name, or readable as
// "YYYY-MM-DD HH:MM:SS.mmm".
template <typename Char>
Char* PutTime(Char* at, const SYSTEMTIME& time, bool readable)
{
    const struct {
        WORD value;
        int digits;
        char before; // in the readable form, and in a name's
        char beforeInName;
    } kParts[] = {
        {time.wYear, 4, 0, 0},       {time.wMonth, 2, '-', 0},  {time.wDay, 2, '-', 0},
        {time.wHour, 2, ' ', '-'},   {time.wMinute, 2, ':', 0}, {time.wSecond, 2, ':', 0},
        {time.wMilliseconds, 3, '.', '-'},
    };
    for (const auto& part : kParts) {
        const char before = readable ? part.before : part.beforeInName;
        if (before != 0)
            *at++ = static_cast<Char>(before);
        at = PutDigits(at, part.value, part.digits, 10);
    }
    *at = 0;
    return at;
}

// The DACL bits of a descriptor's control that a backup keeps and a restore
// writes back.
const SECURITY_DESCRIPTOR_CONTROL kKeptControl =
    SE_DACL_PROTECTED | SE_DACL_AUTO_INHERITED | SE_DACL_AUTO_INHERIT_REQ;

// The path of the named folder itself.
const WCHAR kFolderItself[] = L".";

// The header's lines, for `folder` and the time now.
bool AppendHeader(HeapBuffer& text, const WCHAR* folder, const SYSTEMTIME& now);

// The text of the last DACL written out, with its bytes and control bits:
// the objects of a folder mostly share one DACL, and its conversion to
// SDDL is what a line costs most.
class LastDaclText {
public:
    LastDaclText() = default;
    LastDaclText(const LastDaclText&) = delete;
    LastDaclText& operator=(const LastDaclText&) = delete;

    // Appends the SDDL of `current`'s DACL and control bits.
    bool Append(HeapBuffer& text, const SecurityApi& api, const BackupApi& backupApi,
                PSECURITY_DESCRIPTOR current, SECURITY_DESCRIPTOR_CONTROL control);

private:
    HeapBuffer dacl_;
    HeapBuffer utf8_;
    SECURITY_DESCRIPTOR_CONTROL control_ = 0;
};

// One object's line: its DACL and control bits as `current` holds them.
bool AppendObject(HeapBuffer& text, const SecurityApi& api, const BackupApi& backupApi,
                  LastDaclText& last, const WCHAR* path, ULONG pathLength, const ObjectId& id,
                  PSECURITY_DESCRIPTOR current);

// One object as a backup holds it.
struct SavedObject {
    const WCHAR* path; // unescaped, terminated
    ULONG pathLength;
    ObjectId id;
    SECURITY_DESCRIPTOR_CONTROL control;
    const WCHAR* dacl; // SDDL, terminated
    bool reached;      // found by the restore's walk, whatever it did with it
};

// A backup read whole: its header and its objects, found by path.
class BackupText {
public:
    BackupText() = default;
    BackupText(const BackupText&) = delete;
    BackupText& operator=(const BackupText&) = delete;

    // Reads the file from its start. False when it is not a backup.
    bool Read(HANDLE file);
    // Reads the header alone; with `countObjects`, Count() then counts the
    // lines after it (a listing shows it), which takes the whole file.
    bool ReadHeader(HANDLE file, bool countObjects);

    const WCHAR* Folder() const { return folder_; }
    const WCHAR* Time() const { return time_; }
    ULONG Count() const { return count_; }
    SavedObject* Objects() const { return objects_; }
    // The object saved under this path, or null.
    SavedObject* Find(const WCHAR* path, ULONG length) const;

private:
    bool Parse(bool headerOnly);

    HeapBuffer bytes_;
    HeapBuffer wide_;
    HeapBuffer index_;
    const WCHAR* folder_ = nullptr;
    const WCHAR* time_ = nullptr;
    SavedObject* objects_ = nullptr;
    ULONG count_ = 0;
};
