// vk_start_with.exe LIBRARY PROGRAM: starts PROGRAM with LIBRARY loaded into
// it, waits until it ends and exits with its exit code. The demo starts the
// utility through it with vk_windows_inheritance.dll.
#include "ui_driver.h"

#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 87;
    vkui::StartOptions options;
    options.injectedLibrary = argv[1];
    options.program = argv[2];
    vkui::Program program(options);
    if (!program.Started())
        return 2;
    return static_cast<int>(program.WaitForExit(INFINITE).value_or(1));
}
