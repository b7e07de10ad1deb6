// CTabWnd: the tab strip of the tabbed message window, a superclass of the
// standard tab control. Besides what the control does it
//   - reports mouse hover, leave and moves and every button to its parent
//     (ControlNotifications.h), the left press first, so the parent can keep
//     the control from selecting;
//   - lets a tab be dragged (CDragDropItem);
//   - turns the mouse wheel into moving between tabs, round the ends;
//   - owns the image list of the tab pictures (below).
#pragma once

#include "ControlNotifications.h"
#include "DragDropItem.h"
#include "ScopedImageList.h"
#include "SuperClassBase.h"

extern const wchar_t kTabClassName[]; // "__oVLMoTABEXoWNDo__"

// Tab pictures, as indexes into the tab control's image list.
enum TabImage : int {
    kTabImageAvailable = 0,
    kTabImageOffline = 1,
    kTabImageAway = 2,
    kTabImageTyping = 3,
    kTabImageFlashOn = 4,
    kTabImageFlashOff = 5,
    kTabImageChatRoom = 6,
};

class CTabWnd : public CSuperClassBase, public CDragDropItem {
public:
    CTabWnd() = default;
    ~CTabWnd() override;

    bool Create(HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect, void* createValue = nullptr);

    HIMAGELIST Images() const { return images_.get(); }

protected:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate(HWND hwnd, WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(HWND hwnd, WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseWheel(HWND hwnd, WPARAM wParam, LPARAM lParam);
    LRESULT Notify(HWND hwnd, WORD code, UINT message, WPARAM wParam, LPARAM lParam);
    void LoadImages();

    CHoverTracker hover_;
    ScopedImageList images_;
};
