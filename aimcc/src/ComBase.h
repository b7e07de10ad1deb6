// CAccObject<I>: the base of every object of the layer. It supplies the
// reference count (starting at 1, changed with Interlocked*, the object
// deleted through its private destructor at 0), IDispatch without a type
// library, and IAccObject's property methods, which it turns into the
// virtual GetProperty / PutProperty / StartRequest of the class. Each class
// writes its own QueryInterface from one QITAB table.
//
// IDispatch reaches the properties through DISPID_VALUE (name "Property"):
// one argument reads the property with that id, a put with two arguments
// writes it. That is enough for a late-bound caller; the client itself uses
// the vtable.
#pragma once

#include "AccCore.h"
#include "Variant.h"

#include <new>
#include <utility>

namespace AIMCC {

// Runs a COM method's body so that nothing thrown escapes it: memory running
// out inside a container becomes E_OUTOFMEMORY.
template <typename Body>
HRESULT ComBoundary(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

template <class I>
class CAccObject : public I {
public:
    CAccObject(const CAccObject&) = delete;
    CAccObject& operator=(const CAccObject&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!names || !ids)
            return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            bool known = i == 0 && names[i] && CompareStringOrdinal(names[i], -1, L"Property", -1, TRUE) == CSTR_EQUAL;
            ids[i] = known ? DISPID_VALUE : DISPID_UNKNOWN;
            if (!known)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argError) override
    {
        if (id != DISPID_VALUE)
            return DISP_E_MEMBERNOTFOUND;
        if (!params)
            return E_POINTER;
        // Arguments arrive in reversed order: the property id is the last one.
        UINT args = params->cArgs;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (args != 2)
                return DISP_E_BADPARAMCOUNT;
            long property = 0;
            if (!VariantToLong(params->rgvarg[1], property)) {
                if (argError)
                    *argError = 1;
                return DISP_E_TYPEMISMATCH;
            }
            return put_Property(property, params->rgvarg[0]);
        }
        if (args != 1)
            return DISP_E_BADPARAMCOUNT;
        long property = 0;
        if (!VariantToLong(params->rgvarg[0], property)) {
            if (argError)
                *argError = 0;
            return DISP_E_TYPEMISMATCH;
        }
        CVariant value;
        HRESULT hr = get_Property(property, value.Out());
        if (SUCCEEDED(hr) && result)
            *result = value.Detach();
        return hr;
    }

    // IAccObject
    HRESULT STDMETHODCALLTYPE get_Property(long id, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        return ComBoundary([&] { return GetProperty(id, value); });
    }
    HRESULT STDMETHODCALLTYPE put_Property(long id, VARIANT value) override
    {
        return ComBoundary([&] { return PutProperty(id, value); });
    }
    HRESULT STDMETHODCALLTYPE RequestProperty(long id, long* requestId) override
    {
        if (!requestId)
            return E_POINTER;
        *requestId = 0;
        return ComBoundary([&] { return StartRequest(id, requestId); });
    }

protected:
    CAccObject() = default;
    virtual ~CAccObject() = default;

    // value is VT_EMPTY on entry. DISP_E_MEMBERNOTFOUND for an unknown id.
    virtual HRESULT GetProperty(long id, VARIANT* value) = 0;
    // By default every known property is read-only.
    virtual HRESULT PutProperty(long id, const VARIANT&)
    {
        CVariant probe;
        return GetProperty(id, probe.Out()) == DISP_E_MEMBERNOTFOUND ? DISP_E_MEMBERNOTFOUND : E_ACCESSDENIED;
    }
    // By default nothing needs fetching.
    virtual HRESULT StartRequest(long, long*) { return E_NOTIMPL; }

private:
    LONG refs_ = 1;
};

// The QueryInterface of a class whose main interface I derives from
// IAccObject: the table answers I, IAccObject, IDispatch and IUnknown.
#define AIMCC_QI_ENTRIES(Class, I)                                                             \
    QITABENT(Class, I), QITABENTMULTI(Class, IAccObject, I), QITABENTMULTI(Class, IDispatch, I)

// Makes an object of class T (constructor arguments forwarded) and hands out
// the interface asked for; the caller's reference is the only one left.
template <class T, typename... Args>
HRESULT CreateAccObject(REFIID iid, void** object, Args&&... args)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    T* created = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!created)
        return E_OUTOFMEMORY;
    HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

} // namespace AIMCC
