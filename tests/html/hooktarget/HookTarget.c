/* A module of ours whose imports the hook tests patch: the tick count and
   the performance counter imported as usual, the sound function delay-loaded
   the way the browser frame imports it. Each export calls through its
   import, so a test sees what the module would call. */
#include <windows.h>
#include <mmsystem.h>

__declspec(dllexport) DWORD TargetTickCount(void)
{
    return GetTickCount();
}

__declspec(dllexport) BOOL TargetCounter(LARGE_INTEGER* count)
{
    return QueryPerformanceCounter(count);
}

__declspec(dllexport) BOOL TargetPlaySound(LPCWSTR sound, DWORD flags)
{
    return PlaySoundW(sound, NULL, flags);
}
