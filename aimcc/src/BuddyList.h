// CAccBuddyList and CAccGroup: the account's buddy list as the client sees
// it. The server's copy is the truth: the client's edits go to the
// transport, and the model changes only when the transport reports the
// server's answer (then the events 202-208 follow).
//
// The offline group is the layer's own: with "aimcc.buddyList.hideOfflineGroup"
// off (the default) it comes after the stored groups and lists every buddy
// that is offline, and the stored groups list only buddies that are online.
// With the offline group hidden, the stored groups list all their buddies,
// unless "aimcc.buddyList.hideOfflineBuddies" is on, which leaves only those
// online. The two preferences are read at every sign-on and whenever the
// client changes them through the session's preferences.
#pragma once

#include "ComBase.h"
#include "Transport.h"

#include <wrl/client.h>

#include <string>
#include <vector>

namespace AIMCC {

class CAccBuddyList;
class CAccSession;
class CAccUser;

class CAccGroup final : public CAccObject<IAccGroup> {
public:
    CAccGroup(CAccSession* session, CAccBuddyList* list, std::wstring name, bool offlineGroup);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override;
    HRESULT STDMETHODCALLTYPE get_BuddyCount(long* count) override;
    HRESULT STDMETHODCALLTYPE GetBuddyByIndex(long index, IAccUser** user) override;
    HRESULT STDMETHODCALLTYPE GetBuddyIndex(BSTR screenName, long* index) override;
    HRESULT STDMETHODCALLTYPE AddBuddy(BSTR screenName, long position, IAccUser** user) override;
    HRESULT STDMETHODCALLTYPE RemoveBuddy(BSTR screenName) override;
    HRESULT STDMETHODCALLTYPE MoveBuddy(BSTR screenName, IAccGroup* target, long position) override;

    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }
    bool IsOfflineGroup() const { return offline_; }
    // Every buddy of the stored group, in the server's order (empty for the
    // offline group).
    std::vector<Microsoft::WRL::ComPtr<CAccUser>>& Members() { return members_; }
    bool HasMember(const CAccUser* user) const;
    // The buddies the client sees, in order.
    std::vector<CAccUser*> Listed() const;
    long ListedIndex(const CAccUser* user) const;
    long OnlineCount() const;
    void Detach();

private:
    ~CAccGroup() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;
    HRESULT PutProperty(long id, const VARIANT& value) override;
    std::wstring ExpandedPreference() const;
    // The position in the server's order for a position among the listed.
    long MemberPosition(long listedPosition) const;

    CAccSession* session_;
    CAccBuddyList* list_;
    std::wstring name_;
    bool offline_;
    std::vector<Microsoft::WRL::ComPtr<CAccUser>> members_;
};

class CAccBuddyList final : public CAccObject<IAccBuddyList> {
public:
    explicit CAccBuddyList(CAccSession* session);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE get_GroupCount(long* count) override;
    HRESULT STDMETHODCALLTYPE GetGroupByIndex(long index, IAccGroup** group) override;
    HRESULT STDMETHODCALLTYPE GetGroupByName(BSTR name, IAccGroup** group) override;
    HRESULT STDMETHODCALLTYPE InsertGroup(BSTR name, long position, IAccGroup** group) override;
    HRESULT STDMETHODCALLTYPE RemoveGroup(IAccGroup* group) override;
    HRESULT STDMETHODCALLTYPE MoveGroup(IAccGroup* group, long position) override;
    HRESULT STDMETHODCALLTYPE HoldsBuddy(BSTR screenName, VARIANT_BOOL* holds) override;

    // The server's list arrived (every sign-on): replaces the model.
    void Load(const BuddyListContents& contents);
    void Clear();
    // Reads the two offline preferences.
    void ReadMode();
    bool ShowsOfflineGroup() const { return showOfflineGroup_; }
    bool ListsOfflineBuddies() const { return !showOfflineGroup_ && !hideOfflineBuddies_; }

    // The groups the client sees: the stored ones, then the offline group.
    std::vector<CAccGroup*> Groups() const;
    Microsoft::WRL::ComPtr<CAccGroup> StoredGroup(std::wstring_view name) const;
    CAccGroup* OfflineGroup() const { return offlineGroup_.Get(); }
    // The group object of an interface pointer the client passed in.
    CAccGroup* Find(IAccGroup* group) const;
    std::vector<CAccGroup*> GroupsHolding(const CAccUser* user) const;
    bool Holds(std::wstring_view screenName) const;
    // Where the client sees a user: the first group listing them and the
    // position there; false when no group lists them.
    bool Placement(const CAccUser* user, Microsoft::WRL::ComPtr<CAccGroup>& group, long& index) const;

    // Model changes reported by the server. Each returns the group concerned
    // (null when the change does not apply to the model).
    Microsoft::WRL::ComPtr<CAccGroup> AddGroup(const std::wstring& name, long position);
    Microsoft::WRL::ComPtr<CAccGroup> RemoveGroup(const std::wstring& name);
    Microsoft::WRL::ComPtr<CAccGroup> MoveGroup(const std::wstring& name, long position);
    Microsoft::WRL::ComPtr<CAccGroup> RenameGroup(const std::wstring& oldName, const std::wstring& newName);
    // A group object made for the client's InsertGroup before the server has it.
    Microsoft::WRL::ComPtr<CAccGroup> PendingGroup(const std::wstring& name);
    void Detach();

private:
    ~CAccBuddyList() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;

    CAccSession* session_;
    std::vector<Microsoft::WRL::ComPtr<CAccGroup>> groups_;
    std::vector<Microsoft::WRL::ComPtr<CAccGroup>> pendingGroups_;
    Microsoft::WRL::ComPtr<CAccGroup> offlineGroup_;
    bool showOfflineGroup_ = true;
    bool hideOfflineBuddies_ = false;
};

// Group names compare without regard to case, as the server stores them.
bool SameGroupName(std::wstring_view a, std::wstring_view b);

} // namespace AIMCC
