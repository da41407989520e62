#include "run_time_error.h"

#include "message_box.h"
#include "run_time_error_text.h"

void EndWithCurrentError(HWND owner)
{
    const std::wstring text = DescribeCurrentError();
    ShowMessage(owner, text, MB_OK | MB_ICONERROR);
    ExitProcess(kExitRunTimeError);
}
