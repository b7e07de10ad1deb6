// CVariant: an owned VARIANT (cleared once, copied with VariantCopy), and the
// few conversions the layer makes between VARIANTs and plain values. Text
// conversions follow VariantChangeType without flags, so booleans become
// "-1"/"0": the form the client's preference store keeps them in.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace AIMCC {

class CVariant {
public:
    CVariant() { VariantInit(&v_); }
    ~CVariant() { VariantClear(&v_); }
    // Copies; a value VariantCopy cannot copy leaves this empty.
    explicit CVariant(const VARIANT& v)
    {
        VariantInit(&v_);
        VariantCopy(&v_, const_cast<VARIANT*>(&v));
    }
    CVariant(const CVariant& other) : CVariant(other.v_) {}
    CVariant& operator=(const CVariant& other)
    {
        if (this != &other) {
            VariantClear(&v_);
            VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
        }
        return *this;
    }
    CVariant(CVariant&& other) noexcept
    {
        v_ = other.v_;
        VariantInit(&other.v_);
    }
    CVariant& operator=(CVariant&& other) noexcept
    {
        if (this != &other) {
            VariantClear(&v_);
            v_ = other.v_;
            VariantInit(&other.v_);
        }
        return *this;
    }

    static CVariant Int(long value);
    static CVariant Bool(bool value);
    static CVariant Text(std::wstring_view text);
    // VT_DISPATCH holding a reference; null gives VT_DISPATCH null.
    static CVariant Object(IDispatch* object);
    static CVariant Date(const SYSTEMTIME& time);
    static CVariant TextArray(const std::vector<std::wstring>& texts);      // VT_ARRAY | VT_VARIANT of texts
    static CVariant ObjectArray(const std::vector<IDispatch*>& objects);    // VT_ARRAY | VT_VARIANT of objects

    const VARIANT& Get() const { return v_; }
    VARTYPE Type() const { return v_.vt; }
    bool Empty() const { return v_.vt == VT_EMPTY; }
    // For an [out] VARIANT*: clears first.
    VARIANT* Out()
    {
        VariantClear(&v_);
        return &v_;
    }
    HRESULT CopyTo(VARIANT* out) const;
    VARIANT Detach()
    {
        VARIANT v = v_;
        VariantInit(&v_);
        return v;
    }

private:
    VARIANT v_;
};

// Conversions of a value given by the client. Each answers false when the
// value does not convert.
bool VariantToText(const VARIANT& value, std::wstring& text);
bool VariantToLong(const VARIANT& value, long& number);
bool VariantToBool(const VARIANT& value, bool& flag);

// A BSTR copy of a text; null only when memory runs out.
BSTR MakeBstr(std::wstring_view text);
// Stores a copy of text into *out; E_POINTER / E_OUTOFMEMORY.
HRESULT CopyToBstr(std::wstring_view text, BSTR* out);
// A BSTR argument as a view (null is "").
inline std::wstring_view BstrView(BSTR s)
{
    return s ? std::wstring_view(s, SysStringLen(s)) : std::wstring_view();
}

} // namespace AIMCC
