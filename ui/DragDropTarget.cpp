#include "DragDropTarget.h"

#include <shlguid.h>

HRESULT STDMETHODCALLTYPE CDragDropTarget::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CDragDropTarget::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CDragDropTarget::Release()
{
    return static_cast<ULONG>(InterlockedDecrement(&refs_));
}

HRESULT STDMETHODCALLTYPE CDragDropTarget::DragEnter(IDataObject*, DWORD, POINTL, DWORD*)
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CDragDropTarget::DragOver(DWORD, POINTL, DWORD*)
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CDragDropTarget::DragLeave()
{
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CDragDropTarget::Drop(IDataObject*, DWORD, POINTL, DWORD*)
{
    return E_UNEXPECTED;
}

IDropTargetHelper* CDragDropTarget::DropHelper()
{
    if (!helperTried_) {
        helperTried_ = true;
        CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&helper_));
    }
    return helper_.Get();
}
