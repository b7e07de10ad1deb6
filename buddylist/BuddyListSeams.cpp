#include "BuddyListSeams.h"

#include "AIMConnection.h"
#include "ConversationOpening.h"

void OpenConversation(AIMCC::IAccSession* session, const std::wstring& screenName)
{
    if (CAIMConnection* connection = ConnectionOf(session))
        OpenConversation(connection, screenName);
}
void OpenChatInvitation(AIMCC::IAccSession*, const std::wstring&) {}
void OpenBroadcastMessage(AIMCC::IAccSession*, const std::vector<std::wstring>&) {}
void ShowBuddyInfoTip(AIMCC::IAccSession*, const std::wstring&, POINT) {}
void HideBuddyInfoTip() {}
void OpenBuddyInfo(AIMCC::IAccSession*, const std::wstring&) {}
void OpenBuddyPanel(AIMCC::IAccSession*, const std::wstring&, const std::wstring&) {}
void OpenGroupEditor(AIMCC::IAccSession*, const std::wstring&) {}
void SendFileTo(HWND owner, AIMCC::IAccSession* session, const std::wstring& screenName)
{
    if (CAIMConnection* connection = ConnectionOf(session))
        connection->SendFilesTo(owner, screenName, L"");
}

void SendFolderTo(HWND owner, AIMCC::IAccSession* session, const std::wstring& screenName)
{
    if (CAIMConnection* connection = ConnectionOf(session))
        connection->SendFolderTo(owner, screenName, L"");
}
void BrowseSharedFiles(AIMCC::IAccSession*, const std::wstring&) {}
void OpenSharingPermissions(AIMCC::IAccSession*) {}
void OpenBuddyLogs(AIMCC::IAccSession*, const std::wstring&) {}
void ShowStatusMenu(HWND, AIMCC::IAccSession*, POINT) {}
void OpenProfileEditor(AIMCC::IAccSession*) {}
void ChooseOwnBuddyIcon(HWND, AIMCC::IAccSession*) {}
int BuddyListToolbarHeight() { return 0; }
int IdentityPanelHeight() { return 0; }
void StartAutoHide(int) {}
