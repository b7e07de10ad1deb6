#include "FakeAccList.h"

#include <algorithm>
#include <cwctype>

using namespace AIMCC;

namespace fake {

namespace {

std::wstring FromBstr(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

BSTR ToBstr(const std::wstring& text)
{
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

} // namespace

std::wstring Normalized(const std::wstring& name)
{
    std::wstring out;
    for (wchar_t c : name) {
        if (c != L' ')
            out += static_cast<wchar_t>(std::towlower(c));
    }
    return out;
}

// --- User ---

User::User(const std::wstring& screenName) : name(screenName)
{
    SetText(AccUserProp::Name, screenName);
    SetLong(AccUserProp::Presence, AccPresence::Offline);
    SetLong(AccUserProp::UserClass, 0);
}

HRESULT User::get_GroupCount(long* count)
{
    *count = static_cast<long>(groups.size());
    return S_OK;
}

HRESULT User::GetGroup(long index, IAccGroup** group)
{
    if (index < 0 || index >= static_cast<long>(groups.size()))
        return E_INVALIDARG;
    *group = groups[static_cast<size_t>(index)];
    (*group)->AddRef();
    return S_OK;
}

void User::SetStatusMessage(const std::wstring& text, const std::wstring& link)
{
    ComPtr<Item> message;
    *message.ReleaseAndGetAddressOf() = new Item();
    message->SetText(AccBartProp::Content, text);
    SetObject(AccUserProp::StatusText, message.Get());
    if (!link.empty()) {
        ComPtr<Item> address;
        *address.ReleaseAndGetAddressOf() = new Item();
        address->SetText(AccBartProp::Content, link);
        SetObject(AccUserProp::StatusLink, address.Get());
    } else {
        props.erase(AccUserProp::StatusLink);
    }
}

// --- Group ---

Group::Group(const std::wstring& groupName, bool offline) : name(groupName)
{
    SetBool(AccGroupProp::Expanded, true);
    SetBool(AccGroupProp::IsOfflineGroup, offline);
}

HRESULT Group::ComputedProperty(long id, VARIANT* value)
{
    if (id == AccGroupProp::OnlineCount) {
        long online = 0;
        for (const ComPtr<User>& user : buddies) {
            const long state = user->GetLong(AccUserProp::Presence);
            if (state != AccPresence::Offline && state != -1)
                ++online;
        }
        value->vt = VT_I4;
        value->lVal = online;
        return S_OK;
    }
    if (id == AccGroupProp::Name) {
        value->vt = VT_BSTR;
        value->bstrVal = ToBstr(name);
    }
    return S_OK;
}

HRESULT Group::get_Name(BSTR* out)
{
    *out = ToBstr(name);
    return S_OK;
}

HRESULT Group::put_Name(BSTR text)
{
    name = FromBstr(text);
    return S_OK;
}

HRESULT Group::get_BuddyCount(long* count)
{
    *count = static_cast<long>(buddies.size());
    return S_OK;
}

HRESULT Group::GetBuddyByIndex(long index, IAccUser** user)
{
    if (index < 0 || index >= static_cast<long>(buddies.size()))
        return E_INVALIDARG;
    *user = buddies[static_cast<size_t>(index)].Get();
    (*user)->AddRef();
    return S_OK;
}

HRESULT Group::GetBuddyIndex(BSTR screenName, long* index)
{
    const std::wstring wanted = Normalized(FromBstr(screenName));
    *index = -1;
    for (size_t i = 0; i < buddies.size(); ++i) {
        if (Normalized(buddies[i]->name) == wanted)
            *index = static_cast<long>(i);
    }
    return S_OK;
}

HRESULT Group::AddBuddy(BSTR screenName, long, IAccUser** user)
{
    added.push_back(FromBstr(screenName));
    if (user && session) {
        User* made = session->FindUser(FromBstr(screenName));
        if (!made)
            made = session->AddBuddy(this, FromBstr(screenName), AccPresence::Offline);
        *user = made;
        made->AddRef();
    }
    return S_OK;
}

HRESULT Group::RemoveBuddy(BSTR screenName)
{
    removed.push_back(FromBstr(screenName));
    return S_OK;
}

HRESULT Group::MoveBuddy(BSTR screenName, IAccGroup* target, long position)
{
    moves.push_back({FromBstr(screenName), target, position});
    return S_OK;
}

void Group::Add(User* user)
{
    buddies.emplace_back(user);
    user->groups.push_back(this);
}

void Group::Remove(User* user)
{
    buddies.erase(std::remove_if(buddies.begin(), buddies.end(), [&](const ComPtr<User>& u) { return u.Get() == user; }),
                  buddies.end());
    user->groups.erase(std::remove(user->groups.begin(), user->groups.end(), this), user->groups.end());
}

// --- List ---

HRESULT List::get_GroupCount(long* count)
{
    *count = static_cast<long>(groups.size());
    return S_OK;
}

HRESULT List::GetGroupByIndex(long index, IAccGroup** group)
{
    if (index < 0 || index >= static_cast<long>(groups.size()))
        return E_INVALIDARG;
    *group = groups[static_cast<size_t>(index)].Get();
    (*group)->AddRef();
    return S_OK;
}

HRESULT List::GetGroupByName(BSTR name, IAccGroup** group)
{
    *group = nullptr;
    const std::wstring wanted = FromBstr(name);
    for (const ComPtr<Group>& g : groups) {
        if (g->name == wanted) {
            *group = g.Get();
            g->AddRef();
            return S_OK;
        }
    }
    return S_FALSE;
}

HRESULT List::InsertGroup(BSTR name, long, IAccGroup** group)
{
    Group* made = session->AddGroup(FromBstr(name));
    if (group) {
        *group = made;
        made->AddRef();
    }
    return S_OK;
}

HRESULT List::RemoveGroup(IAccGroup*)
{
    return S_OK;
}

HRESULT List::MoveGroup(IAccGroup* group, long position)
{
    for (const ComPtr<Group>& g : groups) {
        if (g.Get() == group)
            groupMoves.emplace_back(g->name, position);
    }
    return S_OK;
}

HRESULT List::HoldsBuddy(BSTR screenName, VARIANT_BOOL* holds)
{
    *holds = VARIANT_FALSE;
    const std::wstring wanted = Normalized(FromBstr(screenName));
    for (const ComPtr<Group>& g : groups) {
        for (const ComPtr<User>& u : g->buddies) {
            if (Normalized(u->name) == wanted)
                *holds = VARIANT_TRUE;
        }
    }
    return S_OK;
}

// --- Prefs ---

HRESULT Prefs::GetValue(BSTR name, VARIANT* value)
{
    VariantInit(value);
    auto found = values.find(FromBstr(name));
    if (found == values.end())
        return ACC_E_PREFERENCE_NOT_SET;
    value->vt = VT_BSTR;
    value->bstrVal = ToBstr(found->second);
    return S_OK;
}

HRESULT Prefs::SetValue(BSTR name, VARIANT value)
{
    if (value.vt != VT_BSTR)
        return DISP_E_TYPEMISMATCH;
    values[FromBstr(name)] = FromBstr(value.bstrVal);
    return S_OK;
}

HRESULT Prefs::Reset(BSTR name)
{
    values.erase(FromBstr(name));
    return S_OK;
}

// --- Session ---

Session::Session(const std::wstring& name) : identity(name)
{
    *list.ReleaseAndGetAddressOf() = new List();
    list->session = this;
    *prefs.ReleaseAndGetAddressOf() = new Prefs();
}

Session::~Session()
{
    for (auto& entry : users)
        entry.second->groups.clear();
}

Group* Session::AddGroup(const std::wstring& name, bool offline)
{
    for (const ComPtr<Group>& g : list->groups) {
        if (g->name == name)
            return g.Get();
    }
    ComPtr<Group> group;
    *group.ReleaseAndGetAddressOf() = new Group(name, offline);
    group->session = this;
    list->groups.push_back(group);
    return group.Get();
}

User* Session::FindUser(const std::wstring& name)
{
    auto found = users.find(Normalized(name));
    return found == users.end() ? nullptr : found->second.Get();
}

User* Session::AddBuddy(Group* group, const std::wstring& name, long presence, unsigned long flags)
{
    User* user = FindUser(name);
    if (!user) {
        ComPtr<User> made;
        *made.ReleaseAndGetAddressOf() = new User(name);
        users[Normalized(name)] = made;
        user = made.Get();
    }
    user->SetLong(AccUserProp::Presence, presence);
    user->SetLong(AccUserProp::UserClass, static_cast<long>(flags));
    if (group)
        group->Add(user);
    return user;
}

HRESULT Session::get_Identity(BSTR* name)
{
    *name = ToBstr(identity);
    return S_OK;
}

HRESULT Session::get_Prefs(IAccPreferences** out)
{
    *out = prefs.Get();
    prefs->AddRef();
    return S_OK;
}

HRESULT Session::get_BuddyList(IAccBuddyList** out)
{
    *out = list.Get();
    list->AddRef();
    return S_OK;
}

HRESULT Session::GetUser(BSTR name, IAccUser** user)
{
    User* found = FindUser(FromBstr(name));
    if (!found)
        found = AddBuddy(nullptr, FromBstr(name), AccPresence::Offline);
    *user = found;
    found->AddRef();
    return S_OK;
}

HRESULT Session::GetGroup(BSTR name, IAccGroup** group)
{
    return list->GetGroupByName(name, group);
}

} // namespace fake
