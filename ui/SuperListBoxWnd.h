// CSuperListBoxWnd: the list box as a superclass, used for the buddy list and
// other owner-drawn lists. Besides what the list box does it
//   - reports mouse hover, leave and moves and the buttons to its parent, the
//     left press first so the parent can keep the list from selecting;
//   - reports when its vertical scroll bar comes or goes, when the first
//     visible item changes, and after every insertion, deletion and change of
//     item height (so the parent can fit its height to the rows);
//   - paints the area below the last item with the parent's list box brush
//     (WM_CTLCOLORLISTBOX), its origin at the main window's background, so a
//     brush cut from that background lines up with it;
//   - lets a row be dragged (CDragDropItem);
//   - takes files dragged from the shell: the parent is asked with
//     kMsgAcceptFileDrop whether it wants them at that point, and a drop
//     arrives as WM_DROPFILES whose point is in the list box's client
//     coordinates. As always with WM_DROPFILES the receiver frees the HDROP
//     with DragFinish.
//
// Files can only be dropped when the creating thread has called
// OleInitialize; without it the list box works, but takes no files.
#pragma once

#include "ControlNotifications.h"
#include "DragDropItem.h"
#include "DragDropTarget.h"
#include "SuperClassBase.h"

extern const wchar_t kSuperListBoxClassName[]; // "__RZ_SUPER_LISTBOX_WND__"

class CSuperListBoxWnd : public CSuperClassBase, public CDragDropTarget, public CDragDropItem {
public:
    CSuperListBoxWnd() = default;
    ~CSuperListBoxWnd() override;

    bool Create(HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect, void* createValue = nullptr);

    // IDropTarget: files from the shell.
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate(HWND hwnd, WPARAM wParam, LPARAM lParam);
    void OnDestroy(HWND hwnd);
    LRESULT OnPaint(HWND hwnd, HDC given);
    LRESULT OnMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(HWND hwnd, WPARAM wParam, LPARAM lParam);
    LRESULT OnListChanged(HWND hwnd, WORD code, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Notify(HWND hwnd, WORD code, UINT message, WPARAM wParam, LPARAM lParam);

    void FillBelowItems(HWND hwnd, HDC dc);
    void CheckTopIndex(HWND hwnd);
    void CheckScrollBar(HWND hwnd);

    bool AskParentToAccept(POINTL point);
    DWORD DropEffect(DWORD allowed) const;
    void RegisterDropTarget(HWND hwnd);
    void RevokeDropTarget(HWND hwnd);

    CHoverTracker hover_;
    int lastTopIndex_ = 0;
    LONG_PTR lastStyle_ = 0;
    bool dropRegistered_ = false;
    bool lockedForDrops_ = false;
    bool dragHasFiles_ = false;
};
