// AccHelpers.h: the client's side of acccore.dll's exports.
//
// The client links the DLL by ordinal: CAccLibrary loads acccore.dll (from
// the program's folder, or any path given) and binds every export with
// GetProcAddress(module, MAKEINTRESOURCEA(ordinal)) into AccApi(). The
// wrappers below call those functions and throw CAccException with the
// HRESULT when making a string (140, 141) or copying a variant (152) fails.
// The throwing happens here, in the client's own code: no C++ exception ever
// crosses the DLL boundary, and none may leave a COM method or window
// procedure of the client either, so callers catch at those boundaries.
#pragma once

#include "AccCore.h"

#include <utility>

namespace AIMCC {

class CAccException {
public:
    explicit CAccException(HRESULT hr) : hr_(hr) {}
    HRESULT Error() const { return hr_; }

private:
    HRESULT hr_;
};

// The bound exports. All null until CAccLibrary::Load succeeds.
struct AccExports {
    PfnAccCreateObject CreateObject = nullptr;
    PfnAccVariantChangeType VariantChangeType = nullptr;
    PfnAccStringAlloc StringAlloc = nullptr;
    PfnAccStringReAlloc StringReAlloc = nullptr;
    PfnAccStringFree StringFree = nullptr;
    PfnAccStringLen StringLen = nullptr;
    PfnAccStringCompare StringCompare = nullptr;
    PfnAccVariantClear VariantClear = nullptr;
    PfnAccVariantCopy VariantCopy = nullptr;
    PfnAccStringAllocLen StringAllocLen = nullptr;
    PfnAccStringFree StringFree2 = nullptr;
    PfnAccVariantToString VariantToString = nullptr;
    PfnAccVariantInit VariantInit = nullptr;
    PfnAccVariantFromString VariantFromString = nullptr;
    PfnAccStringNormalize StringNormalize = nullptr;

    bool Bound() const { return CreateObject != nullptr; }
};

// The process's one set of bound exports.
inline AccExports& AccApi()
{
    static AccExports exports;
    return exports;
}

namespace detail {
template <typename Fn>
bool BindOrdinal(HMODULE module, WORD ordinal, Fn& fn)
{
    FARPROC proc = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
    return fn != nullptr;
}
} // namespace detail

// Owns the loaded DLL. While an object of this class has the DLL loaded,
// AccApi() holds its exports; unloading clears them.
class CAccLibrary {
public:
    CAccLibrary() = default;
    ~CAccLibrary() { Unload(); }
    CAccLibrary(const CAccLibrary&) = delete;
    CAccLibrary& operator=(const CAccLibrary&) = delete;

    // path null: "acccore.dll" beside the program (the program's folder is
    // searched first by LoadLibrary). Fails with the system's error when the
    // file is missing, and with ERROR_PROC_NOT_FOUND when an ordinal is.
    HRESULT Load(const wchar_t* path = nullptr)
    {
        Unload();
        HMODULE module = LoadLibraryW(path ? path : L"acccore.dll");
        if (!module)
            return HRESULT_FROM_WIN32(GetLastError());
        AccExports e;
        bool ok = detail::BindOrdinal(module, AccOrdinal::CreateObject, e.CreateObject)
            && detail::BindOrdinal(module, AccOrdinal::VariantChangeType, e.VariantChangeType)
            && detail::BindOrdinal(module, AccOrdinal::StringAlloc, e.StringAlloc)
            && detail::BindOrdinal(module, AccOrdinal::StringReAlloc, e.StringReAlloc)
            && detail::BindOrdinal(module, AccOrdinal::StringFree, e.StringFree)
            && detail::BindOrdinal(module, AccOrdinal::StringLen, e.StringLen)
            && detail::BindOrdinal(module, AccOrdinal::StringCompare, e.StringCompare)
            && detail::BindOrdinal(module, AccOrdinal::VariantClear, e.VariantClear)
            && detail::BindOrdinal(module, AccOrdinal::VariantCopy, e.VariantCopy)
            && detail::BindOrdinal(module, AccOrdinal::StringAllocLen, e.StringAllocLen)
            && detail::BindOrdinal(module, AccOrdinal::StringFree2, e.StringFree2)
            && detail::BindOrdinal(module, AccOrdinal::VariantToString, e.VariantToString)
            && detail::BindOrdinal(module, AccOrdinal::VariantInit, e.VariantInit)
            && detail::BindOrdinal(module, AccOrdinal::VariantFromString, e.VariantFromString)
            && detail::BindOrdinal(module, AccOrdinal::StringNormalize, e.StringNormalize);
        if (!ok) {
            FreeLibrary(module);
            return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        }
        module_ = module;
        AccApi() = e;
        return S_OK;
    }

    // Every object of the layer must be released before this.
    void Unload()
    {
        if (!module_)
            return;
        AccApi() = AccExports();
        FreeLibrary(module_);
        module_ = nullptr;
    }

    HMODULE Module() const { return module_; }

private:
    HMODULE module_ = nullptr;
};

// Throws when the exports are not bound: calling into an unloaded layer is a
// programming error the caller must hear about.
inline const AccExports& BoundAccApi()
{
    const AccExports& api = AccApi();
    if (!api.Bound())
        throw CAccException(CO_E_DLLNOTFOUND);
    return api;
}

inline HRESULT AccCreateSession(REFIID iid, void** object)
{
    const AccExports& api = AccApi();
    if (!api.Bound())
        return CO_E_DLLNOTFOUND;
    return api.CreateObject(CLSID_AccSession, iid, object);
}

template <typename T>
HRESULT AccCreateSession(T** object)
{
    return AccCreateSession(__uuidof(T), reinterpret_cast<void**>(object));
}

// Ordinal 140: a new string of the layer (a BSTR); throws on failure.
inline BSTR AccMakeString(const wchar_t* text)
{
    BSTR out = nullptr;
    HRESULT hr = BoundAccApi().StringAlloc(text, &out);
    if (FAILED(hr))
        throw CAccException(hr);
    return out;
}

// Ordinal 141: replaces the text of *str (freeing the old string); throws on
// failure, leaving *str as it was.
inline void AccFillString(BSTR* str, const wchar_t* text)
{
    HRESULT hr = BoundAccApi().StringReAlloc(str, text);
    if (FAILED(hr))
        throw CAccException(hr);
}

// Ordinal 152: dest becomes a copy of src; throws on failure.
inline void AccCopyVariant(VARIANT* dest, const VARIANT* src)
{
    HRESULT hr = BoundAccApi().VariantCopy(dest, src);
    if (FAILED(hr))
        throw CAccException(hr);
}

// Ordinal 144: screen names equal ignoring case and spaces.
inline bool AccSameScreenName(BSTR a, const wchar_t* b)
{
    return BoundAccApi().StringCompare(a, b) == 0;
}

// An owned string of the layer (a BSTR), freed through ordinal 142. Moves, never copies.
class CAccString {
public:
    CAccString() = default;
    explicit CAccString(const wchar_t* text) : str_(AccMakeString(text)) {}
    ~CAccString() { Reset(); }
    CAccString(const CAccString&) = delete;
    CAccString& operator=(const CAccString&) = delete;
    CAccString(CAccString&& other) noexcept : str_(std::exchange(other.str_, nullptr)) {}
    CAccString& operator=(CAccString&& other) noexcept
    {
        if (this != &other) {
            Reset();
            str_ = std::exchange(other.str_, nullptr);
        }
        return *this;
    }

    // The string for an [in] BSTR argument; stays owned here.
    BSTR Get() const { return str_; }
    // Never null: "" for an empty object.
    const wchar_t* Text() const { return str_ ? str_ : L""; }
    UINT Length() const { return str_ ? AccApi().StringLen(str_) : 0; }
    bool Empty() const { return Length() == 0; }

    // For an [out] BSTR* argument: frees the current string first.
    BSTR* Out()
    {
        Reset();
        return &str_;
    }
    void Assign(const wchar_t* text) { AccFillString(&str_, text); }
    BSTR Detach() { return std::exchange(str_, nullptr); }

    // The layer's strings are BSTRs, so one that outlives the bound exports is
    // still freed correctly.
    void Reset()
    {
        if (str_) {
            if (AccApi().StringFree)
                AccApi().StringFree(str_);
            else
                SysFreeString(str_);
        }
        str_ = nullptr;
    }

private:
    BSTR str_ = nullptr;
};

} // namespace AIMCC
