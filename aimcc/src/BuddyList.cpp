#include "BuddyList.h"

#include "PreferenceDefaults.h"
#include "ScreenNames.h"
#include "Session.h"
#include "User.h"

#include <shlwapi.h>

#include <algorithm>

namespace AIMCC {

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kOfflineGroupName[] = L"Offline";
// The server's limit on a group name.
const long kGroupNameLimit = 48;

bool IsListed(const CAccBuddyList* list, const CAccUser* user)
{
    return user->Online() || list->ListsOfflineBuddies();
}

} // namespace

bool SameGroupName(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size()
        && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE)
        == CSTR_EQUAL;
}

// ---------------------------------------------------------------------------
// CAccGroup
// ---------------------------------------------------------------------------

CAccGroup::CAccGroup(CAccSession* session, CAccBuddyList* list, std::wstring name, bool offlineGroup)
    : session_(session), list_(list), name_(std::move(name)), offline_(offlineGroup)
{
}

HRESULT STDMETHODCALLTYPE CAccGroup::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccGroup, IAccGroup), {}};
    return QISearch(this, table, riid, object);
}

void CAccGroup::Detach()
{
    session_ = nullptr;
    list_ = nullptr;
    members_.clear();
}

bool CAccGroup::HasMember(const CAccUser* user) const
{
    return std::any_of(members_.begin(), members_.end(), [&](const ComPtr<CAccUser>& m) { return m.Get() == user; });
}

std::vector<CAccUser*> CAccGroup::Listed() const
{
    std::vector<CAccUser*> listed;
    if (!list_)
        return listed;
    if (offline_) {
        if (!list_->ShowsOfflineGroup())
            return listed;
        // Every offline buddy once, in the order of the stored groups.
        for (CAccGroup* group : list_->Groups()) {
            if (group->offline_)
                continue;
            for (const ComPtr<CAccUser>& user : group->members_) {
                if (!user->Online() && std::find(listed.begin(), listed.end(), user.Get()) == listed.end())
                    listed.push_back(user.Get());
            }
        }
        return listed;
    }
    for (const ComPtr<CAccUser>& user : members_) {
        if (IsListed(list_, user.Get()))
            listed.push_back(user.Get());
    }
    return listed;
}

long CAccGroup::ListedIndex(const CAccUser* user) const
{
    std::vector<CAccUser*> listed = Listed();
    auto it = std::find(listed.begin(), listed.end(), user);
    return it == listed.end() ? -1 : static_cast<long>(it - listed.begin());
}

long CAccGroup::OnlineCount() const
{
    return static_cast<long>(
        std::count_if(members_.begin(), members_.end(), [](const ComPtr<CAccUser>& u) { return u->Online(); }));
}

long CAccGroup::MemberPosition(long listedPosition) const
{
    std::vector<CAccUser*> listed = Listed();
    if (listedPosition < 0 || listedPosition >= static_cast<long>(listed.size()))
        return -1;
    CAccUser* before = listed[static_cast<size_t>(listedPosition)];
    for (size_t i = 0; i < members_.size(); ++i) {
        if (members_[i].Get() == before)
            return static_cast<long>(i);
    }
    return -1;
}

std::wstring CAccGroup::ExpandedPreference() const
{
    std::wstring identity;
    if (session_) {
        BSTR name = nullptr;
        if (SUCCEEDED(session_->get_Identity(&name)))
            identity = NormalizeScreenName(BstrView(name));
        SysFreeString(name);
    }
    return std::wstring(Pref::GroupExpandedPrefix) + identity + L"." + name_;
}

HRESULT STDMETHODCALLTYPE CAccGroup::get_Name(BSTR* name)
{
    return CopyToBstr(name_, name);
}

HRESULT STDMETHODCALLTYPE CAccGroup::put_Name(BSTR name)
{
    return ComBoundary([&]() -> HRESULT {
        if (!session_)
            return E_UNEXPECTED;
        if (offline_)
            return E_ACCESSDENIED;
        std::wstring_view newName = BstrView(name);
        if (newName.empty() || static_cast<long>(newName.size()) > kGroupNameLimit)
            return E_INVALIDARG;
        if (newName == name_)
            return S_FALSE;
        ITransport* transport = session_->Transport();
        if (!transport)
            return ACC_E_NOT_CONNECTED;
        return transport->RenameGroup(name_, std::wstring(newName));
    });
}

HRESULT STDMETHODCALLTYPE CAccGroup::get_BuddyCount(long* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return ComBoundary([&]() -> HRESULT {
        *count = static_cast<long>(Listed().size());
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccGroup::GetBuddyByIndex(long index, IAccUser** user)
{
    if (!user)
        return E_POINTER;
    *user = nullptr;
    return ComBoundary([&]() -> HRESULT {
        std::vector<CAccUser*> listed = Listed();
        if (index < 0 || index >= static_cast<long>(listed.size()))
            return E_INVALIDARG;
        return listed[static_cast<size_t>(index)]->QueryInterface(IID_PPV_ARGS(user));
    });
}

HRESULT STDMETHODCALLTYPE CAccGroup::GetBuddyIndex(BSTR screenName, long* index)
{
    if (!index)
        return E_POINTER;
    *index = -1;
    return ComBoundary([&]() -> HRESULT {
        std::vector<CAccUser*> listed = Listed();
        for (size_t i = 0; i < listed.size(); ++i) {
            if (SameScreenName(listed[i]->Name(), BstrView(screenName))) {
                *index = static_cast<long>(i);
                return S_OK;
            }
        }
        return S_FALSE;
    });
}

HRESULT STDMETHODCALLTYPE CAccGroup::AddBuddy(BSTR screenName, long position, IAccUser** user)
{
    if (user)
        *user = nullptr;
    return ComBoundary([&]() -> HRESULT {
        if (!session_)
            return E_UNEXPECTED;
        if (offline_)
            return E_ACCESSDENIED;
        std::wstring_view name = BstrView(screenName);
        if (NormalizeScreenName(name).empty())
            return E_INVALIDARG;
        ComPtr<CAccUser> buddy = session_->User(name);
        HRESULT hr = S_FALSE;
        if (!HasMember(buddy.Get())) {
            ITransport* transport = session_->Transport();
            if (!transport)
                return ACC_E_NOT_CONNECTED;
            hr = transport->AddBuddy(name_, std::wstring(name), MemberPosition(position));
            if (FAILED(hr))
                return hr;
        }
        if (user)
            buddy->QueryInterface(IID_PPV_ARGS(user));
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE CAccGroup::RemoveBuddy(BSTR screenName)
{
    return ComBoundary([&]() -> HRESULT {
        if (!session_)
            return E_UNEXPECTED;
        if (offline_)
            return E_ACCESSDENIED;
        ComPtr<CAccUser> buddy = session_->User(BstrView(screenName));
        if (!HasMember(buddy.Get()))
            return E_INVALIDARG;
        ITransport* transport = session_->Transport();
        if (!transport)
            return ACC_E_NOT_CONNECTED;
        return transport->RemoveBuddy(name_, buddy->Name());
    });
}

HRESULT STDMETHODCALLTYPE CAccGroup::MoveBuddy(BSTR screenName, IAccGroup* target, long position)
{
    return ComBoundary([&]() -> HRESULT {
        if (!session_ || !list_)
            return E_UNEXPECTED;
        CAccGroup* to = list_->Find(target);
        if (!to)
            return E_INVALIDARG;
        if (offline_ || to->offline_)
            return E_ACCESSDENIED;
        ComPtr<CAccUser> buddy = session_->User(BstrView(screenName));
        if (!HasMember(buddy.Get()))
            return E_INVALIDARG;
        ITransport* transport = session_->Transport();
        if (!transport)
            return ACC_E_NOT_CONNECTED;
        return transport->MoveBuddy(name_, buddy->Name(), to->name_, to->MemberPosition(position));
    });
}

HRESULT CAccGroup::GetProperty(long id, VARIANT* value)
{
    switch (id) {
    case AccGroupProp::Session:
        return session_ ? CVariant::Object(session_->Dispatch()).CopyTo(value) : S_OK;
    case AccGroupProp::Name:
        return CVariant::Text(name_).CopyTo(value);
    case AccGroupProp::OnlineCount:
        return CVariant::Int(offline_ ? 0 : OnlineCount()).CopyTo(value);
    case AccGroupProp::Expanded:
        return CVariant::Bool(session_ ? session_->PreferenceBool(ExpandedPreference(), true) : true).CopyTo(value);
    case AccGroupProp::IsOfflineGroup:
        return CVariant::Bool(offline_).CopyTo(value);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CAccGroup::PutProperty(long id, const VARIANT& value)
{
    switch (id) {
    case AccGroupProp::Name: {
        std::wstring name;
        if (!VariantToText(value, name))
            return DISP_E_TYPEMISMATCH;
        BSTR text = MakeBstr(name);
        if (!text)
            return E_OUTOFMEMORY;
        HRESULT hr = put_Name(text);
        SysFreeString(text);
        return hr;
    }
    case AccGroupProp::Expanded: {
        bool expanded = true;
        if (!VariantToBool(value, expanded))
            return DISP_E_TYPEMISMATCH;
        if (!session_)
            return E_UNEXPECTED;
        HRESULT hr = session_->WritePreference(ExpandedPreference(), CVariant::Bool(expanded).Get());
        if (FAILED(hr))
            return hr;
        session_->Raise(AccEvent::GroupChange, {CVariant::Object(session_->Dispatch()), CVariant::Object(this),
                                                CVariant::Int(AccGroupChange::Appearance)});
        return S_OK;
    }
    default:
        return CAccObject::PutProperty(id, value);
    }
}

// ---------------------------------------------------------------------------
// CAccBuddyList
// ---------------------------------------------------------------------------

CAccBuddyList::CAccBuddyList(CAccSession* session) : session_(session)
{
    *offlineGroup_.ReleaseAndGetAddressOf() = new CAccGroup(session, this, kOfflineGroupName, true);
}

HRESULT STDMETHODCALLTYPE CAccBuddyList::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccBuddyList, IAccBuddyList), {}};
    return QISearch(this, table, riid, object);
}

void CAccBuddyList::Detach()
{
    for (auto& group : groups_)
        group->Detach();
    for (auto& group : pendingGroups_)
        group->Detach();
    offlineGroup_->Detach();
    groups_.clear();
    pendingGroups_.clear();
    session_ = nullptr;
}

void CAccBuddyList::ReadMode()
{
    if (!session_)
        return;
    showOfflineGroup_ = !session_->PreferenceBool(Pref::HideOfflineGroup, false);
    hideOfflineBuddies_ = session_->PreferenceBool(Pref::HideOfflineBuddies, false);
}

void CAccBuddyList::Load(const BuddyListContents& contents)
{
    Clear();
    for (const BuddyGroupEntry& entry : contents.groups) {
        ComPtr<CAccGroup> group = PendingGroup(entry.name);
        pendingGroups_.erase(std::remove(pendingGroups_.begin(), pendingGroups_.end(), group), pendingGroups_.end());
        for (const BuddyEntry& buddy : entry.buddies) {
            ComPtr<CAccUser> user = session_->User(buddy.screenName);
            user->SetBuddyDetails(buddy.alias, buddy.note);
            if (user->Presence() == AccPresence::Unknown)
                user->SetOffline();
            if (!group->HasMember(user.Get()))
                group->Members().push_back(user);
        }
        groups_.push_back(group);
    }
    ReadMode();
}

void CAccBuddyList::Clear()
{
    for (auto& group : groups_)
        group->Detach();
    groups_.clear();
}

std::vector<CAccGroup*> CAccBuddyList::Groups() const
{
    std::vector<CAccGroup*> groups;
    for (const auto& group : groups_)
        groups.push_back(group.Get());
    if (showOfflineGroup_ && session_)
        groups.push_back(offlineGroup_.Get());
    return groups;
}

ComPtr<CAccGroup> CAccBuddyList::StoredGroup(std::wstring_view name) const
{
    for (const auto& group : groups_) {
        if (SameGroupName(group->Name(), name))
            return group;
    }
    return nullptr;
}

CAccGroup* CAccBuddyList::Find(IAccGroup* group) const
{
    if (!group)
        return nullptr;
    for (CAccGroup* candidate : Groups()) {
        if (static_cast<IAccGroup*>(candidate) == group)
            return candidate;
    }
    return nullptr;
}

std::vector<CAccGroup*> CAccBuddyList::GroupsHolding(const CAccUser* user) const
{
    std::vector<CAccGroup*> holding;
    for (const auto& group : groups_) {
        if (group->HasMember(user))
            holding.push_back(group.Get());
    }
    return holding;
}

bool CAccBuddyList::Holds(std::wstring_view screenName) const
{
    for (const auto& group : groups_) {
        for (const auto& user : group->Members()) {
            if (SameScreenName(user->Name(), screenName))
                return true;
        }
    }
    return false;
}

bool CAccBuddyList::Placement(const CAccUser* user, ComPtr<CAccGroup>& group, long& index) const
{
    for (CAccGroup* candidate : Groups()) {
        long at = candidate->ListedIndex(user);
        if (at >= 0) {
            group = candidate;
            index = at;
            return true;
        }
    }
    group.Reset();
    index = -1;
    return false;
}

ComPtr<CAccGroup> CAccBuddyList::PendingGroup(const std::wstring& name)
{
    for (const auto& group : pendingGroups_) {
        if (SameGroupName(group->Name(), name))
            return group;
    }
    ComPtr<CAccGroup> group;
    *group.ReleaseAndGetAddressOf() = new CAccGroup(session_, this, name, false);
    pendingGroups_.push_back(group);
    return group;
}

ComPtr<CAccGroup> CAccBuddyList::AddGroup(const std::wstring& name, long position)
{
    if (StoredGroup(name))
        return nullptr;
    ComPtr<CAccGroup> group = PendingGroup(name);
    group->SetName(name);
    pendingGroups_.erase(std::remove(pendingGroups_.begin(), pendingGroups_.end(), group), pendingGroups_.end());
    if (position < 0 || position > static_cast<long>(groups_.size()))
        position = static_cast<long>(groups_.size());
    groups_.insert(groups_.begin() + position, group);
    return group;
}

ComPtr<CAccGroup> CAccBuddyList::RemoveGroup(const std::wstring& name)
{
    for (auto it = groups_.begin(); it != groups_.end(); ++it) {
        if (SameGroupName((*it)->Name(), name)) {
            ComPtr<CAccGroup> group = *it;
            groups_.erase(it);
            return group;
        }
    }
    return nullptr;
}

ComPtr<CAccGroup> CAccBuddyList::MoveGroup(const std::wstring& name, long position)
{
    ComPtr<CAccGroup> group = RemoveGroup(name);
    if (!group)
        return nullptr;
    if (position < 0 || position > static_cast<long>(groups_.size()))
        position = static_cast<long>(groups_.size());
    groups_.insert(groups_.begin() + position, group);
    return group;
}

ComPtr<CAccGroup> CAccBuddyList::RenameGroup(const std::wstring& oldName, const std::wstring& newName)
{
    ComPtr<CAccGroup> group = StoredGroup(oldName);
    if (group)
        group->SetName(newName);
    return group;
}

HRESULT STDMETHODCALLTYPE CAccBuddyList::get_GroupCount(long* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return ComBoundary([&]() -> HRESULT {
        *count = static_cast<long>(Groups().size());
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccBuddyList::GetGroupByIndex(long index, IAccGroup** group)
{
    if (!group)
        return E_POINTER;
    *group = nullptr;
    return ComBoundary([&]() -> HRESULT {
        std::vector<CAccGroup*> groups = Groups();
        if (index < 0 || index >= static_cast<long>(groups.size()))
            return E_INVALIDARG;
        return groups[static_cast<size_t>(index)]->QueryInterface(IID_PPV_ARGS(group));
    });
}

HRESULT STDMETHODCALLTYPE CAccBuddyList::GetGroupByName(BSTR name, IAccGroup** group)
{
    if (!group)
        return E_POINTER;
    *group = nullptr;
    return ComBoundary([&]() -> HRESULT {
        ComPtr<CAccGroup> found = StoredGroup(BstrView(name));
        if (!found)
            return S_FALSE;
        return found->QueryInterface(IID_PPV_ARGS(group));
    });
}

HRESULT STDMETHODCALLTYPE CAccBuddyList::InsertGroup(BSTR name, long position, IAccGroup** group)
{
    if (group)
        *group = nullptr;
    return ComBoundary([&]() -> HRESULT {
        if (!session_)
            return E_UNEXPECTED;
        std::wstring groupName(BstrView(name));
        if (groupName.empty() || static_cast<long>(groupName.size()) > kGroupNameLimit)
            return E_INVALIDARG;
        ComPtr<CAccGroup> existing = StoredGroup(groupName);
        if (existing) {
            if (group)
                existing->QueryInterface(IID_PPV_ARGS(group));
            return S_FALSE;
        }
        ITransport* transport = session_->Transport();
        if (!transport)
            return ACC_E_NOT_CONNECTED;
        HRESULT hr = transport->AddGroup(groupName, position);
        if (FAILED(hr))
            return hr;
        ComPtr<CAccGroup> pending = PendingGroup(groupName);
        if (group)
            pending->QueryInterface(IID_PPV_ARGS(group));
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccBuddyList::RemoveGroup(IAccGroup* group)
{
    return ComBoundary([&]() -> HRESULT {
        if (!session_)
            return E_UNEXPECTED;
        CAccGroup* found = Find(group);
        if (!found)
            return E_INVALIDARG;
        if (found->IsOfflineGroup())
            return E_ACCESSDENIED;
        ITransport* transport = session_->Transport();
        if (!transport)
            return ACC_E_NOT_CONNECTED;
        return transport->RemoveGroup(found->Name());
    });
}

HRESULT STDMETHODCALLTYPE CAccBuddyList::MoveGroup(IAccGroup* group, long position)
{
    return ComBoundary([&]() -> HRESULT {
        if (!session_)
            return E_UNEXPECTED;
        CAccGroup* found = Find(group);
        if (!found)
            return E_INVALIDARG;
        if (found->IsOfflineGroup())
            return E_ACCESSDENIED;
        ITransport* transport = session_->Transport();
        if (!transport)
            return ACC_E_NOT_CONNECTED;
        if (position < 0 || position >= static_cast<long>(groups_.size()))
            position = static_cast<long>(groups_.size()) - 1;
        return transport->MoveGroup(found->Name(), position);
    });
}

HRESULT STDMETHODCALLTYPE CAccBuddyList::HoldsBuddy(BSTR screenName, VARIANT_BOOL* holds)
{
    if (!holds)
        return E_POINTER;
    *holds = VARIANT_FALSE;
    return ComBoundary([&]() -> HRESULT {
        *holds = Holds(BstrView(screenName)) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT CAccBuddyList::GetProperty(long id, VARIANT* value)
{
    switch (id) {
    case AccBuddyListProp::Session:
        return session_ ? CVariant::Object(session_->Dispatch()).CopyTo(value) : S_OK;
    case AccBuddyListProp::GroupNameLimit:
        return CVariant::Int(kGroupNameLimit).CopyTo(value);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace AIMCC
