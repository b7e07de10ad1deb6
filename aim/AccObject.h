// AIMCC::CAccObject: the reference-counted base of the COM objects the client
// hands to the AIM layer (its event sinks, its preferences hook, the
// file-sharing window's access check). QueryInterface answers IUnknown and
// the one interface the object implements; a derived class that answers more
// overrides it and falls back to this one.
#pragma once

#include <windows.h>

#include <unknwn.h>

namespace AIMCC {

template <typename Interface>
class CAccObject : public Interface {
public:
    CAccObject(const CAccObject&) = delete;
    CAccObject& operator=(const CAccObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) {
            FinalRelease();
            delete this;
        }
        return static_cast<ULONG>(refs);
    }

protected:
    // A new object starts with the one reference its creator holds.
    CAccObject() = default;
    virtual ~CAccObject() = default;
    // Runs once, before the object is deleted, while it is still whole.
    virtual void FinalRelease() {}

private:
    LONG refs_ = 1;
};

} // namespace AIMCC
