// Holds a file open as a running program would, sharing reading and writing
// but not deletion, until its standard input closes:
//   vs_hold_file PATH
// Prints "held" once the file is open, or "failed".
#include <windows.h>

#include <cstdio>

namespace {

// One open file, closed on scope exit.
class HeldFile {
public:
    explicit HeldFile(const char* path)
        : file_(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile()
    {
        if (IsOpen())
            CloseHandle(file_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE file_;
};

void WaitForInputToClose()
{
    char c;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &read, nullptr) && read > 0) {
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const HeldFile file(argv[1]);
    std::printf(file.IsOpen() ? "held\n" : "failed\n");
    std::fflush(stdout);
    WaitForInputToClose();
    return 0;
}
