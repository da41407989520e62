// Owns one kernel handle (an open file, a thread) and closes it when it
// goes. Both of Windows' "no handle" values, null and INVALID_HANDLE_VALUE,
// count as none.
#pragma once

#include <windows.h>

class KernelHandle {
public:
    explicit KernelHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~KernelHandle()
    {
        if (handle_ != nullptr)
            CloseHandle(handle_);
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};
