// Owners for the two Automation types the HTML host passes around: a BSTR
// freed with SysFreeString and a VARIANT cleared with VariantClear.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

class ScopedBstr {
public:
    ScopedBstr() = default;
    explicit ScopedBstr(const wchar_t* text) : bstr_(SysAllocString(text)) {}
    explicit ScopedBstr(const std::wstring& text)
        : bstr_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    ~ScopedBstr() { SysFreeString(bstr_); }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;

    BSTR get() const { return bstr_; }
    // For an out parameter: frees what is held first.
    BSTR* Receive()
    {
        SysFreeString(bstr_);
        bstr_ = nullptr;
        return &bstr_;
    }
    // The text, "" for a null BSTR (which COM treats as empty).
    std::wstring Text() const { return bstr_ ? std::wstring(bstr_, SysStringLen(bstr_)) : std::wstring(); }

private:
    BSTR bstr_ = nullptr;
};

class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&value_); }
    explicit ScopedVariant(const wchar_t* text)
    {
        VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = SysAllocString(text);
    }
    explicit ScopedVariant(bool flag)
    {
        VariantInit(&value_);
        value_.vt = VT_BOOL;
        value_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    }
    ~ScopedVariant() { VariantClear(&value_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARIANT* get() { return &value_; }
    const VARIANT& value() const { return value_; }
    VARIANT* Receive()
    {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};
