// COM for the user-interface thread, from the start of the program to its
// end: the shell's icon and file-information calls require it on the
// thread that makes them.
#pragma once

#include <objbase.h>

class ComApartment {
public:
    // Succeeds also when the thread already had COM (S_FALSE): each success
    // is balanced by one uninitialise.
    ComApartment() : entered_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment()
    {
        if (entered_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool entered_;
};
