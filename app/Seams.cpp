#include "Seams.h"

bool CreateSoundManager() { return false; }
void DestroySoundManager() {}
bool CreateMediaListener() { return false; }
void DestroyMediaListener() {}
void StartAutoSignOn() {}
void LoadAppLockPassword() {}
bool IsAppLocked() { return false; }
void AppLockCommand() {}
bool IsPrimaryOnline() { return false; }
void SignOffAllSessions() {}
void ReleaseAllSessions() {}
void OpenSettingsWindow(int, bool) {}
void ProcessAimUrlLocally(const std::wstring&) {}
void ProcessInternalLink(const std::wstring&) {}
void QueueOpenIm(const std::wstring&) {}
void StopInfoTips() {}
void DestroyToasts() {}
void ReleaseBuddyListResources() {}
void ReleaseThemePicture() {}
void ShowAutoHiddenMainWindow() {}
