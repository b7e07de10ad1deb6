#include "BLAccess.h"

namespace bl {

using namespace AIMCC;

HRESULT ReadProperty(IAccObject* object, long id, CVariant& value)
{
    if (!object)
        return E_POINTER;
    return object->get_Property(id, value.Out());
}

long ReadLong(IAccObject* object, long id, long def)
{
    CVariant value;
    if (FAILED(ReadProperty(object, id, value)))
        return def;
    const VARIANT& v = value.Get();
    switch (v.vt) {
    case VT_I4:
    case VT_INT:
        return v.lVal;
    case VT_UI4:
    case VT_UINT:
        return static_cast<long>(v.ulVal);
    case VT_I2:
        return v.iVal;
    case VT_UI2:
        return v.uiVal;
    case VT_BOOL:
        return v.boolVal != VARIANT_FALSE ? 1 : 0;
    case VT_I1:
        return v.cVal;
    case VT_UI1:
        return v.bVal;
    default:
        return def;
    }
}

bool ReadBool(IAccObject* object, long id, bool def)
{
    CVariant value;
    if (FAILED(ReadProperty(object, id, value)))
        return def;
    const VARIANT& v = value.Get();
    if (v.vt == VT_BOOL)
        return v.boolVal != VARIANT_FALSE;
    if (v.vt == VT_I4 || v.vt == VT_INT)
        return v.lVal != 0;
    return def;
}

std::wstring ReadText(IAccObject* object, long id)
{
    CVariant value;
    if (FAILED(ReadProperty(object, id, value)))
        return {};
    const VARIANT& v = value.Get();
    if (v.vt != VT_BSTR || !v.bstrVal)
        return {};
    return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
}

std::vector<std::wstring> ReadTextArray(IAccObject* object, long id)
{
    std::vector<std::wstring> texts;
    CVariant value;
    if (FAILED(ReadProperty(object, id, value)))
        return texts;
    const VARIANT& v = value.Get();
    if (!(v.vt & VT_ARRAY) || !v.parray || SafeArrayGetDim(v.parray) != 1)
        return texts;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(v.parray, 1, &low);
    SafeArrayGetUBound(v.parray, 1, &high);
    const VARTYPE type = v.vt & VT_TYPEMASK;
    for (LONG i = low; i <= high; ++i) {
        if (type == VT_BSTR) {
            BSTR text = nullptr;
            if (SUCCEEDED(SafeArrayGetElement(v.parray, &i, &text)) && text) {
                texts.emplace_back(text, SysStringLen(text));
                SysFreeString(text);
            }
        } else if (type == VT_VARIANT) {
            VARIANT element;
            VariantInit(&element);
            if (SUCCEEDED(SafeArrayGetElement(v.parray, &i, &element)) && element.vt == VT_BSTR && element.bstrVal)
                texts.emplace_back(element.bstrVal, SysStringLen(element.bstrVal));
            VariantClear(&element);
        }
    }
    return texts;
}

HRESULT WriteLong(IAccObject* object, long id, long value)
{
    if (!object)
        return E_POINTER;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return object->put_Property(id, v);
}

HRESULT WriteBool(IAccObject* object, long id, bool value)
{
    if (!object)
        return E_POINTER;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return object->put_Property(id, v);
}

HRESULT WriteText(IAccObject* object, long id, const std::wstring& text)
{
    if (!object)
        return E_POINTER;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!v.bstrVal)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->put_Property(id, v);
    VariantClear(&v);
    return hr;
}

HRESULT WriteDate(IAccObject* object, long id, double date)
{
    if (!object)
        return E_POINTER;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DATE;
    v.date = date;
    return object->put_Property(id, v);
}

std::wstring TakeBstr(BSTR str)
{
    if (!str)
        return {};
    std::wstring text(str, SysStringLen(str));
    SysFreeString(str);
    return text;
}

std::wstring GroupName(IAccGroup* group)
{
    if (!group)
        return {};
    BSTR name = nullptr;
    if (FAILED(group->get_Name(&name)))
        return {};
    return TakeBstr(name);
}

std::wstring SessionIdentity(IAccSession* session)
{
    if (!session)
        return {};
    BSTR name = nullptr;
    if (FAILED(session->get_Identity(&name)))
        return {};
    return TakeBstr(name);
}

ComPtr<IAccBuddyList> BuddyListOf(IAccSession* session)
{
    ComPtr<IAccBuddyList> list;
    if (session)
        session->get_BuddyList(list.GetAddressOf());
    return list;
}

ComPtr<IAccGroup> GroupByName(IAccSession* session, const std::wstring& name)
{
    ComPtr<IAccGroup> group;
    ComPtr<IAccBuddyList> list = BuddyListOf(session);
    if (list) {
        CBstr key(name);
        if (list->GetGroupByName(key.Get(), group.GetAddressOf()) != S_OK)
            group.Reset();
    }
    if (!group) {
        // The layer's own offline group is listed but not found by name.
        for (const ComPtr<IAccGroup>& listed : GroupsOf(session)) {
            if (GroupName(listed.Get()) == name)
                return listed;
        }
    }
    return group;
}

ComPtr<IAccUser> UserByName(IAccSession* session, const std::wstring& screenName)
{
    ComPtr<IAccUser> user;
    if (session) {
        CBstr key(screenName);
        if (FAILED(session->GetUser(key.Get(), user.GetAddressOf())))
            user.Reset();
    }
    return user;
}

std::vector<ComPtr<IAccGroup>> GroupsOf(IAccSession* session)
{
    std::vector<ComPtr<IAccGroup>> groups;
    ComPtr<IAccBuddyList> list = BuddyListOf(session);
    long count = 0;
    if (!list || FAILED(list->get_GroupCount(&count)))
        return groups;
    for (long i = 0; i < count; ++i) {
        ComPtr<IAccGroup> group;
        if (SUCCEEDED(list->GetGroupByIndex(i, group.GetAddressOf())) && group)
            groups.push_back(group);
    }
    return groups;
}

long BuddyIndex(IAccGroup* group, const std::wstring& screenName)
{
    long index = -1;
    if (!group)
        return -1;
    CBstr key(screenName);
    if (FAILED(group->GetBuddyIndex(key.Get(), &index)))
        return -1;
    return index;
}

bool ReadPreferenceBool(IAccSession* session, const wchar_t* name, bool def)
{
    ComPtr<IAccPreferences> prefs;
    if (!session || FAILED(session->get_Prefs(prefs.GetAddressOf())) || !prefs)
        return def;
    CBstr key(name);
    CVariant value;
    // Not stored: the layer hands its default with the "not set" answer.
    const HRESULT hr = prefs->GetValue(key.Get(), value.Out());
    if (FAILED(hr) && hr != ACC_E_PREFERENCE_NOT_SET)
        return def;
    const VARIANT& v = value.Get();
    switch (v.vt) {
    case VT_BOOL:
        return v.boolVal != VARIANT_FALSE;
    case VT_I4:
    case VT_INT:
        return v.lVal != 0;
    case VT_BSTR:
        if (!v.bstrVal || !*v.bstrVal)
            return def;
        return wcstol(v.bstrVal, nullptr, 10) != 0;
    default:
        return def;
    }
}

long ReadPreferenceLong(IAccSession* session, const wchar_t* name, long def)
{
    ComPtr<IAccPreferences> prefs;
    if (!session || FAILED(session->get_Prefs(prefs.GetAddressOf())) || !prefs)
        return def;
    CBstr key(name);
    CVariant value;
    const HRESULT hr = prefs->GetValue(key.Get(), value.Out());
    if (FAILED(hr) && hr != ACC_E_PREFERENCE_NOT_SET)
        return def;
    const VARIANT& v = value.Get();
    if (v.vt == VT_I4 || v.vt == VT_INT)
        return v.lVal;
    if (v.vt == VT_BSTR && v.bstrVal && *v.bstrVal)
        return wcstol(v.bstrVal, nullptr, 10);
    return def;
}

HRESULT WritePreferenceBool(IAccSession* session, const wchar_t* name, bool value)
{
    ComPtr<IAccPreferences> prefs;
    if (!session || FAILED(session->get_Prefs(prefs.GetAddressOf())) || !prefs)
        return E_FAIL;
    CBstr key(name);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(value ? L"-1" : L"0");
    const HRESULT hr = prefs->SetValue(key.Get(), v);
    VariantClear(&v);
    return hr;
}

} // namespace bl
