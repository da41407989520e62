#include "history_view.h"

#include "ansi_argument.h"

#include <windows.h>

namespace {

// Owns one file handle.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

} // namespace

std::wstring BuildHistoryText(const std::string& logBytes)
{
    static const wchar_t kAfterLine[] = L"\r\n\r\n";
    const std::wstring log = FromAnsi(logBytes.data(), logBytes.size());
    std::wstring text;
    text.reserve(log.size() * 2 + 4);
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find(L'\r', start);
        if (end == std::wstring::npos)
            end = log.size();
        text.append(log, start, end - start).append(kAfterLine);
        start = end + 1;
        if (start < log.size() && log[start] == L'\n' && end < log.size())
            ++start;
    }
    return text;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    bytes.clear();
    char chunk[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr))
            return false;
        if (read == 0)
            return true;
        bytes.append(chunk, read);
    }
}
