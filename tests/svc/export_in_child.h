// Calls of VKSVC.dll exports made in processes of their own, through
// vksvc_call.exe: what a freshly started program gets.
#pragma once

#include "test_support.h"

#include <string>

// The result that `EXPORT ARGS...` prints, as text ("1", "0", "-4"); the
// error text of vksvc_call when the export is missing.
inline std::string CallInChild(const std::string& exportAndArguments)
{
    vktest::ChildProcess child(vktest::ProgramPath("vksvc_call.exe") + " " + exportAndArguments);
    const std::string result = child.ReadLine();
    child.Wait();
    return result;
}

// A call whose process stays alive, holding whatever the call created,
// until End (or destruction).
class HoldingCall {
public:
    explicit HoldingCall(const std::string& exportAndArguments)
        : child_(vktest::ProgramPath("vksvc_call.exe") + " " + exportAndArguments + " --hold")
    {
    }
    // The printed result; read once, the first time it is asked for.
    const std::string& Result()
    {
        if (!resultRead_) {
            result_ = child_.ReadLine();
            resultRead_ = true;
        }
        return result_;
    }
    // Lets the process end and waits for it; its exit code.
    DWORD End()
    {
        child_.CloseInput();
        return child_.Wait();
    }

private:
    vktest::ChildProcess child_;
    std::string result_;
    bool resultRead_ = false;
};
