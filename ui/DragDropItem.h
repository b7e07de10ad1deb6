// CDragDropItem: dragging something out of a control (a tab, a buddy row)
// within the program. The control feeds it its mouse, key and capture
// messages; the parent decides, through WM_COMMAND notifications, whether a
// drag starts and what a drop means:
//
//   press      -> pressed, the mouse captured
//   move beyond the system drag distance -> kNotifyDragStart; a non-zero
//                 answer starts the drag (a refusal ends the press: the press
//                 point does not change, so neither would the answer)
//   move       -> kNotifyDragMove with the screen point
//   release    -> kNotifyDrop with the screen point
//   Escape     -> kNotifyDragCancel, and no drop
//   capture lost to anyone else -> the drag ends without a word
//
// The drag image and the capture are gone before the parent hears of a drop
// or a cancel, so the parent may move windows or open menus in its answer.
#pragma once

#include <windows.h>

#include "ScopedImageList.h"

class CDragDropItem {
public:
    enum State { kDragIdle = 1, kDragPressed = 2, kDragDragging = 3 };

    CDragDropItem() = default;
    virtual ~CDragDropItem();
    CDragDropItem(const CDragDropItem&) = delete;
    CDragDropItem& operator=(const CDragDropItem&) = delete;

    // The media-library icon shown under the pointer while dragging, and the
    // point of the icon that sits at the pointer. 0: no drag image.
    void SetDragIcon(int iconId, int hotspotX, int hotspotY);

    int DragState() const { return state_; }
    // Where the button went down, in the control's client coordinates.
    POINT PressPoint() const { return press_; }

protected:
    void DragOnButtonDown(HWND hwnd, POINT client);
    // True when the move belongs to a drag and the control must not see it.
    bool DragOnMouseMove(HWND hwnd, POINT client);
    // True when the release dropped something.
    bool DragOnButtonUp(HWND hwnd, POINT client);
    // True when the key cancelled a drag and must be swallowed.
    bool DragOnKeyDown(UINT key);
    void DragOnCaptureChanged(HWND hwnd, HWND newCapture);
    void EndDrag();

private:
    void ShowDragImage(POINT screen);

    int state_ = kDragIdle;
    POINT press_ = {0, 0};
    int iconId_ = 0;
    POINT hotspot_ = {0, 0};
    ScopedImageList dragImages_;
    bool imageShown_ = false;
    HWND control_ = nullptr;
};
