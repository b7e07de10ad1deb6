#include "Seams.h"

bool CreateSoundManager() { return false; }
void DestroySoundManager() {}
bool CreateMediaListener() { return false; }
void DestroyMediaListener() {}
void LoadAppLockPassword() {}
bool IsAppLocked() { return false; }
void AppLockCommand() {}
void OpenSettingsWindow(int, bool) {}
void ProcessAimUrlLocally(const std::wstring&) {}
void ProcessInternalLink(const std::wstring&) {}
void QueueOpenIm(const std::wstring&) {}
void StopInfoTips() {}
void DestroyToasts() {}
void ReleaseBuddyListResources() {}
void ShowAutoHiddenMainWindow() {}
