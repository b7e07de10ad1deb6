// CDragDropTarget: the IDropTarget part of a window object that takes files
// dragged from the shell. This base supplies identity and reference counting
// and the shell's drag-image helper; the four IDropTarget methods answer
// E_UNEXPECTED until a control overrides them with working ones.
//
// The object is part of a window object and lives as long as that does, not
// as long as its COM references: it is never deleted through Release. The
// count (starting at 1 for the owner) exists so that the window can check
// that RegisterDragDrop/RevokeDragDrop and CoLockObjectExternal are
// balanced; the owner revokes both before the object goes.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <shobjidl.h>
#include <wrl/client.h>

class CDragDropTarget : public IDropTarget {
public:
    CDragDropTarget(const CDragDropTarget&) = delete;
    CDragDropTarget& operator=(const CDragDropTarget&) = delete;

    // IUnknown: IUnknown and IDropTarget only.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

protected:
    CDragDropTarget() = default;
    virtual ~CDragDropTarget() = default;

    // The shell's drag-image helper, created on first use; null when the
    // system has none (the drop still works, only without the picture).
    IDropTargetHelper* DropHelper();

    bool accept_ = false;

private:
    LONG refs_ = 1;
    Microsoft::WRL::ComPtr<IDropTargetHelper> helper_;
    bool helperTried_ = false;
};
