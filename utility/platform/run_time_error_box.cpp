#include "run_time_error_box.h"

#include "message_box.h"

void EndWithCurrentError(HWND owner)
{
    const std::wstring text = DescribeCurrentError();
    ShowMessage(owner, text, MB_OK | MB_ICONERROR);
    ExitProcess(kExitRunTimeError);
}
