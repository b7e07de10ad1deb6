// A buddy list of plain in-process objects with the AIM layer's interfaces,
// just enough for the pane: an account, its groups and buddies, their
// numbered properties, and a record of what the pane asked the list to do.
#pragma once

#include "AccCore.h"

#include <wrl/client.h>

#include <map>
#include <string>
#include <vector>

namespace fake {

using Microsoft::WRL::ComPtr;

struct Value {
    Value() { VariantInit(&v); }
    Value(const Value& other) { VariantInit(&v); VariantCopy(&v, const_cast<VARIANT*>(&other.v)); }
    Value& operator=(const Value& other)
    {
        if (this != &other)
            VariantCopy(&v, const_cast<VARIANT*>(&other.v));
        return *this;
    }
    ~Value() { VariantClear(&v); }
    VARIANT v;
};

// Properties by number, readable, writable, some of them "on the network".
template <typename Interface>
class Object : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(AIMCC::IAccObject) ||
            iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (!left)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Property(long id, VARIANT* value) override
    {
        VariantInit(value);
        if (pending.count(id))
            return AIMCC::ACC_E_PENDING;
        auto found = props.find(id);
        if (found == props.end())
            return ComputedProperty(id, value);
        return VariantCopy(value, const_cast<VARIANT*>(&found->second.v));
    }
    HRESULT STDMETHODCALLTYPE put_Property(long id, VARIANT value) override
    {
        Value stored;
        VariantCopy(&stored.v, &value);
        props[id] = stored;
        writes.push_back(id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RequestProperty(long id, long* request) override
    {
        requests.push_back(id);
        if (request)
            *request = static_cast<long>(requests.size());
        return S_OK;
    }

    void SetLong(long id, long value)
    {
        Value stored;
        stored.v.vt = VT_I4;
        stored.v.lVal = value;
        props[id] = stored;
    }
    void SetBool(long id, bool value)
    {
        Value stored;
        stored.v.vt = VT_BOOL;
        stored.v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        props[id] = stored;
    }
    void SetText(long id, const std::wstring& text)
    {
        Value stored;
        stored.v.vt = VT_BSTR;
        stored.v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        props[id] = stored;
    }
    void SetObject(long id, IDispatch* object)
    {
        Value stored;
        stored.v.vt = VT_DISPATCH;
        stored.v.pdispVal = object;
        object->AddRef();
        props[id] = stored;
    }
    long GetLong(long id, long def = 0) const
    {
        auto found = props.find(id);
        return found != props.end() && found->second.v.vt == VT_I4 ? found->second.v.lVal : def;
    }
    bool GetBool(long id, bool def) const
    {
        auto found = props.find(id);
        return found != props.end() && found->second.v.vt == VT_BOOL ? found->second.v.boolVal != VARIANT_FALSE : def;
    }

    std::map<long, Value> props;
    std::map<long, bool> pending;
    std::vector<long> writes;
    std::vector<long> requests;

protected:
    virtual ~Object() = default;
    virtual HRESULT ComputedProperty(long, VARIANT*) { return S_OK; }

private:
    ULONG refs_ = 1;
};

class Group;

class Item : public Object<AIMCC::IAccBartItem> {
public:
    HRESULT STDMETHODCALLTYPE Load() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_ChildCount(long* count) override { *count = 0; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetChild(long, AIMCC::IAccBartItem**) override { return E_INVALIDARG; }
};

class User : public Object<AIMCC::IAccUser> {
public:
    explicit User(const std::wstring& name);
    HRESULT STDMETHODCALLTYPE get_GroupCount(long* count) override;
    HRESULT STDMETHODCALLTYPE GetGroup(long index, AIMCC::IAccGroup** group) override;

    // A status message (and link) as the layer gives them: items whose
    // property 6 is the text.
    void SetStatusMessage(const std::wstring& text, const std::wstring& link = L"");
    std::wstring name;
    std::vector<Group*> groups;
};

struct MoveCall {
    std::wstring buddy;
    AIMCC::IAccGroup* target;
    long position;
};

class Group : public Object<AIMCC::IAccGroup> {
public:
    Group(const std::wstring& name, bool offline);
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override;
    HRESULT STDMETHODCALLTYPE get_BuddyCount(long* count) override;
    HRESULT STDMETHODCALLTYPE GetBuddyByIndex(long index, AIMCC::IAccUser** user) override;
    HRESULT STDMETHODCALLTYPE GetBuddyIndex(BSTR screenName, long* index) override;
    HRESULT STDMETHODCALLTYPE AddBuddy(BSTR screenName, long position, AIMCC::IAccUser** user) override;
    HRESULT STDMETHODCALLTYPE RemoveBuddy(BSTR screenName) override;
    HRESULT STDMETHODCALLTYPE MoveBuddy(BSTR screenName, AIMCC::IAccGroup* target, long position) override;

    void Add(User* user);
    void Remove(User* user);

    std::wstring name;
    std::vector<ComPtr<User>> buddies;
    std::vector<MoveCall> moves;
    std::vector<std::wstring> added;   // AddBuddy calls
    std::vector<std::wstring> removed; // RemoveBuddy calls
    class Session* session = nullptr;

protected:
    HRESULT ComputedProperty(long id, VARIANT* value) override;
};

class List : public Object<AIMCC::IAccBuddyList> {
public:
    HRESULT STDMETHODCALLTYPE get_GroupCount(long* count) override;
    HRESULT STDMETHODCALLTYPE GetGroupByIndex(long index, AIMCC::IAccGroup** group) override;
    HRESULT STDMETHODCALLTYPE GetGroupByName(BSTR name, AIMCC::IAccGroup** group) override;
    HRESULT STDMETHODCALLTYPE InsertGroup(BSTR name, long position, AIMCC::IAccGroup** group) override;
    HRESULT STDMETHODCALLTYPE RemoveGroup(AIMCC::IAccGroup* group) override;
    HRESULT STDMETHODCALLTYPE MoveGroup(AIMCC::IAccGroup* group, long position) override;
    HRESULT STDMETHODCALLTYPE HoldsBuddy(BSTR screenName, VARIANT_BOOL* holds) override;

    std::vector<ComPtr<Group>> groups;
    std::vector<std::pair<std::wstring, long>> groupMoves;
    class Session* session = nullptr;
};

class Prefs : public Object<AIMCC::IAccPreferences> {
public:
    HRESULT STDMETHODCALLTYPE GetValue(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE SetValue(BSTR name, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE GetDefaultValue(BSTR, VARIANT*) override { return AIMCC::ACC_E_PREFERENCE_NOT_SET; }
    HRESULT STDMETHODCALLTYPE Reset(BSTR name) override;
    std::map<std::wstring, std::wstring> values;
};

class Session : public Object<AIMCC::IAccSession> {
public:
    explicit Session(const std::wstring& identity);
    ~Session() override;

    // The account's group, made when missing; `offline` marks the layer's
    // group of offline buddies.
    Group* AddGroup(const std::wstring& name, bool offline = false);
    // A buddy in a group, with its presence and user-class flags.
    User* AddBuddy(Group* group, const std::wstring& name, long presence, unsigned long flags = 0);
    User* FindUser(const std::wstring& name);

    HRESULT STDMETHODCALLTYPE get_Identity(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE put_Identity(BSTR) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE get_State(long* state) override { *state = AIMCC::AccState::Online; return S_OK; }
    HRESULT STDMETHODCALLTYPE SignOn(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SignOff() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE get_PrefsHook(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_PrefsHook(IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ClientInfo(AIMCC::IAccClientInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Prefs(AIMCC::IAccPreferences** prefs) override;
    HRESULT STDMETHODCALLTYPE get_Security(AIMCC::IAccSecurity**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_BuddyList(AIMCC::IAccBuddyList** list) override;
    HRESULT STDMETHODCALLTYPE GetUser(BSTR name, AIMCC::IAccUser** user) override;
    HRESULT STDMETHODCALLTYPE GetGroup(BSTR name, AIMCC::IAccGroup** group) override;
    HRESULT STDMETHODCALLTYPE CreateImSession(BSTR, long, AIMCC::IAccImSession**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateChatRoom(BSTR, long, long, AIMCC::IAccImSession**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateIm(BSTR, BSTR, AIMCC::IAccIm**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateFileStream(BSTR, AIMCC::IAccStream**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SendFile(BSTR, BSTR, AIMCC::IAccFileXfer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestFileShare(BSTR, long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenServerUrl(BSTR, long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBartItem(long, BSTR, AIMCC::IAccBartItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE HasCapability(BSTR, VARIANT_BOOL* supported) override
    {
        *supported = VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPlugins(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMenuItems(long, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InvokeMenuItem(long, long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MenuItemsDone(long) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InvokeIdentityAction(long) override { return S_OK; }

    std::wstring identity;
    ComPtr<List> list;
    ComPtr<Prefs> prefs;
    std::map<std::wstring, ComPtr<User>> users; // by compact lower-case name
};

// Screen names compare without case and spaces.
std::wstring Normalized(const std::wstring& name);

} // namespace fake
