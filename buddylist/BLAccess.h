// Reading the AIM layer's objects as the buddy list needs them: numbered
// properties as plain values, with a default when the read fails or the
// value has another type. The layer's strings are ordinary BSTRs.
#pragma once

#include "AccCore.h"

#include <wrl/client.h>

#include <string>
#include <vector>

namespace bl {

using Microsoft::WRL::ComPtr;

// An owned VARIANT.
class CVariant {
public:
    CVariant() { VariantInit(&value_); }
    ~CVariant() { VariantClear(&value_); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;

    VARIANT* Out()
    {
        VariantClear(&value_);
        return &value_;
    }
    const VARIANT& Get() const { return value_; }

private:
    VARIANT value_;
};

// The result of the read, with the value in `value`.
HRESULT ReadProperty(AIMCC::IAccObject* object, long id, CVariant& value);

long ReadLong(AIMCC::IAccObject* object, long id, long def);
bool ReadBool(AIMCC::IAccObject* object, long id, bool def);
std::wstring ReadText(AIMCC::IAccObject* object, long id);
std::vector<std::wstring> ReadTextArray(AIMCC::IAccObject* object, long id);

// An object-valued property (VT_DISPATCH or VT_UNKNOWN) as `T`; null when
// the read fails, is empty or is another type. `result` receives the read's
// result (ACC_E_PENDING tells that the value must be requested).
template <typename T>
ComPtr<T> ReadObject(AIMCC::IAccObject* object, long id, HRESULT* result = nullptr)
{
    ComPtr<T> out;
    CVariant value;
    const HRESULT hr = ReadProperty(object, id, value);
    if (result)
        *result = hr;
    if (FAILED(hr))
        return out;
    const VARIANT& v = value.Get();
    IUnknown* unknown = nullptr;
    if (v.vt == VT_DISPATCH)
        unknown = v.pdispVal;
    else if (v.vt == VT_UNKNOWN)
        unknown = v.punkVal;
    if (unknown)
        unknown->QueryInterface(__uuidof(T), reinterpret_cast<void**>(out.GetAddressOf()));
    return out;
}

HRESULT WriteLong(AIMCC::IAccObject* object, long id, long value);
HRESULT WriteBool(AIMCC::IAccObject* object, long id, bool value);
HRESULT WriteText(AIMCC::IAccObject* object, long id, const std::wstring& text);
HRESULT WriteDate(AIMCC::IAccObject* object, long id, double date);

// An owned BSTR for [in] arguments.
class CBstr {
public:
    explicit CBstr(const std::wstring& text)
        : str_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    ~CBstr() { SysFreeString(str_); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR Get() const { return str_; }

private:
    BSTR str_;
};

// A BSTR an [out] argument filled, as a string (and freed).
std::wstring TakeBstr(BSTR str);

std::wstring GroupName(AIMCC::IAccGroup* group);
std::wstring SessionIdentity(AIMCC::IAccSession* session);
ComPtr<AIMCC::IAccBuddyList> BuddyListOf(AIMCC::IAccSession* session);
ComPtr<AIMCC::IAccGroup> GroupByName(AIMCC::IAccSession* session, const std::wstring& name);
ComPtr<AIMCC::IAccUser> UserByName(AIMCC::IAccSession* session, const std::wstring& screenName);
// The groups of the buddy list in its order.
std::vector<ComPtr<AIMCC::IAccGroup>> GroupsOf(AIMCC::IAccSession* session);
// The index of the buddy in the group; -1 when it is not listed.
long BuddyIndex(AIMCC::IAccGroup* group, const std::wstring& screenName);

// A preference of the session read as a boolean ("-1"/"0" text, a bool or
// a number); `def` when unreadable.
bool ReadPreferenceBool(AIMCC::IAccSession* session, const wchar_t* name, bool def);
long ReadPreferenceLong(AIMCC::IAccSession* session, const wchar_t* name, long def);
HRESULT WritePreferenceBool(AIMCC::IAccSession* session, const wchar_t* name, bool value);

} // namespace bl
