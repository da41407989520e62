// Small tools for tests that run on the Win32 API: files and folders that
// clean up after themselves, child processes, registry keys, and the
// Windows version that Wine reports.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vktest {

// Owns one kernel handle.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Reset(); }
    Handle(Handle&& other) noexcept : handle_(other.Release()) {}
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = other.Release();
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE Get() const { return handle_; }
    bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Release()
    {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr);

private:
    HANDLE handle_ = nullptr;
};

// --- Files and folders -----------------------------------------------------

std::string WindowsDir();  // as GetWindowsDirectoryA gives it: C:\windows
std::string ProgramDir();  // the folder of the running test program
std::string LocalAppData(); // C:\users\<user>\AppData\Local (from the environment)

bool PathExists(const std::string& path);
std::string ReadFileBytes(const std::string& path); // empty when missing
void WriteFileBytes(const std::string& path, const std::string& bytes);
void RemoveTree(const std::string& path); // a file, or a folder with all it holds; never a link

// The path of what a handle is open on, as Windows names it now
// (GetFinalPathNameByHandleA without its "\\?\" prefix); empty when unknown.
std::string PathOfHandle(HANDLE handle);
// The path of what `path` names now, found through a handle opened on it.
std::string PathOfObject(const std::string& path);

// A file written on construction and deleted on destruction.
class ScopedFile {
public:
    ScopedFile(std::string path, const std::string& bytes);
    ~ScopedFile();
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A folder (and its missing parents) made on construction and removed with
// everything in it on destruction.
class ScopedFolder {
public:
    explicit ScopedFolder(std::string path);
    ~ScopedFolder();
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void MakeFolders(const std::string& path);

// The lines of an ini file read back through the profile API: the sections
// in file order, each with its keys and values in file order.
struct IniEntry {
    std::string key;
    std::string value;
};
std::vector<std::string> IniSections(const std::string& path);
std::vector<IniEntry> IniEntries(const std::string& path, const std::string& section);

// --- Waits -------------------------------------------------------------------

// How many times longer than on a machine that runs 32-bit code every wait
// may take: UI_WAIT_SCALE, which scripts/test.sh measures where the tests
// run in the emulated guest (Wine hands VK_* variables to Windows programs
// under another name); 1 elsewhere.
DWORD WaitScale();

// --- Processes ---------------------------------------------------------------

const DWORD kNoExitCode = 0xDEADBEEF;

// A child process whose standard output (and error) the test reads, and
// whose standard input stays open until CloseInput.
class ChildProcess {
public:
    explicit ChildProcess(const std::string& commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return process_.IsValid(); }
    DWORD Id() const { return id_; }
    HANDLE Process() const { return process_.Get(); }
    // The next line of output without its line break; empty at the end.
    std::string ReadLine();
    void CloseInput();
    // Waits for the end; the exit code, or kNoExitCode after the time-out
    // (the process is then terminated).
    DWORD Wait(DWORD milliseconds = 30000 * WaitScale());

private:
    Handle process_;
    Handle input_;
    Handle output_;
    DWORD id_ = 0;
};

// Runs a program to its end; its exit code (kNoExitCode on time-out).
DWORD RunProgram(const std::string& commandLine, DWORD milliseconds = 30000);

// A program of the test's own folder, quoted for a command line.
std::string ProgramPath(const std::string& fileName);

// --- Registry ----------------------------------------------------------------

// Owns one open registry key.
class RegKey {
public:
    RegKey() = default;
    ~RegKey();
    RegKey(RegKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    static RegKey Create(HKEY root, const std::string& path);
    static RegKey Open(HKEY root, const std::string& path, REGSAM access = KEY_READ);

    bool IsOpen() const { return key_ != nullptr; }
    HKEY Get() const { return key_; }
    LONG SetString(const std::string& name, const std::string& value, DWORD type = REG_SZ);
    LONG SetDword(const std::string& name, DWORD value);
    LONG SetBinary(const std::string& name, const std::string& bytes, DWORD type = REG_BINARY);
    LONG DeleteValue(const std::string& name);
    bool HasValue(const std::string& name) const;
    // The value's type and bytes; false when it is missing.
    bool Query(const std::string& name, DWORD* type, std::string* bytes) const;

private:
    explicit RegKey(HKEY key) : key_(key) {}
    HKEY key_ = nullptr;
};

// A key that everyone may read and nobody may change ("D:P(A;;KR;;;WD)"):
// a user without administrator rights, as the key's DACL sees him. The
// wineserver enforces it for as long as it runs; the old DACL is put back on
// destruction.
class ReadOnlyForEveryone {
public:
    ReadOnlyForEveryone(HKEY root, const std::string& path);
    ~ReadOnlyForEveryone();
    ReadOnlyForEveryone(const ReadOnlyForEveryone&) = delete;
    ReadOnlyForEveryone& operator=(const ReadOnlyForEveryone&) = delete;
    bool Applied() const { return applied_; }

private:
    RegKey key_;
    std::vector<BYTE> original_;
    bool applied_ = false;
};

// Deletes a key and everything below it; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::string& path);

// --- Text ---------------------------------------------------------------------

std::wstring Widen(const std::string& ansi); // from the ANSI code page
std::string Utf8(const std::wstring& text);  // for messages of failed checks

// --- Windows version -----------------------------------------------------------

// Makes Wine report another Windows to every process started from now on,
// as "winecfg -v NAME" does (win2k, winxp, win2003, vista, win7, win95,
// win98, winme, nt40).
void SetWindowsVersion(const std::string& name);

// Sets the service-pack text that an NT version reports from now on.
void SetServicePackText(const std::string& text);

} // namespace vktest
