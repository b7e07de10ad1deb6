#include "Seams.h"

bool CreateSoundManager() { return false; }
void DestroySoundManager() {}
bool CreateMediaListener() { return false; }
void DestroyMediaListener() {}
void LoadAppLockPassword() {}
bool IsAppLocked() { return false; }
void AppLockCommand() {}
bool IsPrimaryOnline() { return false; }
void SignOffAllSessions() {}
void ReleaseAllSessions() {}
std::wstring PrimaryIdentity() { return {}; }
void PreparePrimarySession(const std::wstring&) {}
void SignOnPrimary(const std::wstring&, const std::wstring&) {}
void SignOffPrimary() {}
void ReleaseOtherSessions() {}
void OpenSettingsWindow(int, bool) {}
void ProcessAimUrlLocally(const std::wstring&) {}
void ProcessInternalLink(const std::wstring&) {}
void QueueOpenIm(const std::wstring&) {}
void StopInfoTips() {}
void DestroyToasts() {}
void ReleaseBuddyListResources() {}
void ReleaseThemePicture() {}
void ShowAutoHiddenMainWindow() {}
