// Owns one kernel handle (an open file, a thread) and closes it when it
// goes. Both of Windows' "no handle" values, null and INVALID_HANDLE_VALUE,
// count as none. The library and the utility both hold their handles in it.
#pragma once

#include <windows.h>

class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : handle_(Owned(handle)) {}
    ~KernelHandle() { Close(); }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    KernelHandle(KernelHandle&& other) noexcept : handle_(other.Release()) {}
    KernelHandle& operator=(KernelHandle&& other) noexcept
    {
        if (this != &other) {
            Close();
            handle_ = other.Release();
        }
        return *this;
    }

    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != nullptr; }
    // Gives the handle up to the caller, who closes it.
    HANDLE Release()
    {
        const HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    // Closes what it holds and holds `handle` instead.
    void Reset(HANDLE handle = nullptr)
    {
        Close();
        handle_ = Owned(handle);
    }

private:
    static HANDLE Owned(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }
    void Close()
    {
        if (handle_ != nullptr)
            CloseHandle(handle_);
        handle_ = nullptr;
    }

    HANDLE handle_ = nullptr;
};
