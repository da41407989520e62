// Errors that no handler catches: reported in one message box, after which
// the program ends.
#pragma once

#include <windows.h>

const int kExitRunTimeError = 2;

// Runs `handler`; an error it raises is reported and ends the program.
// No C++ exception ever leaves this function, so none crosses a window
// procedure.
template <typename Handler>
void RunHandler(HWND owner, Handler&& handler);

// Shows the error that `RunHandler` caught and ends the program.
[[noreturn]] void EndWithCurrentError(HWND owner);

template <typename Handler>
void RunHandler(HWND owner, Handler&& handler)
{
    try {
        handler();
    } catch (...) {
        EndWithCurrentError(owner);
    }
}

#include <exception>
#include <string>

// A run-time error of the utility's own, with its number and text.
class RunTimeError : public std::exception {
public:
    RunTimeError(int number, std::wstring description)
        : number_(number), description_(std::move(description)) {}
    int Number() const { return number_; }
    const std::wstring& Description() const { return description_; }
    const char* what() const noexcept override { return "run-time error"; }

private:
    int number_;
    std::wstring description_;
};
