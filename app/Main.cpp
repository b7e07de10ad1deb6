// The program's entry point: the command line may end the process at once
// (shell-integration commands, messages for a running client); otherwise
// start-up, the message loop and shutdown.
#include "CommandLine.h"
#include "Startup.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    if (HandleCommandLine(GetCommandLineW()))
        return 0;
    int exitCode = 0;
    if (Startup(instance))
        exitCode = RunMessageLoop();
    Shutdown();
    return exitCode;
}
