// An error of the programs' own that no handler catches, and its text in
// the wording that an administrator of these PCs knows from other
// programs: the window shows it in a message box, the command line prints
// it.
#pragma once

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

// Describes the exception being handled; call it only inside a catch block.
std::wstring DescribeCurrentError();
