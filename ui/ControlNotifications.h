// What our superclassed controls tell their parent. Every notification is a
// WM_COMMAND with the control id in the low word of wParam and the code in the
// high word; lParam is the control, or a point where a code says so. The codes
// lie above the list box's own LBN_ codes and apart from the edit's EN_ codes,
// so they never collide with what the controls send of their own accord.
#pragma once

#include <windows.h>

// Mouse (tab control, list box; hover and leave also from the edit control).
constexpr WORD kNotifyMouseHover = 0x6;
constexpr WORD kNotifyMouseLeave = 0x7;
constexpr WORD kNotifyMouseMove = 0x8;
// Left press or double click, sent before the control sees it: a non-zero
// answer keeps the control from handling the click at all.
constexpr WORD kNotifyLButtonDown = 0x9;
constexpr WORD kNotifyLButtonUp = 0xA;
constexpr WORD kNotifyRButtonDown = 0xB;
constexpr WORD kNotifyRButtonUp = 0xC;
// The tab control's middle button (the close gesture on a tab).
constexpr WORD kNotifyMButtonUp = 0xD;

// List box only.
constexpr WORD kNotifyScrollBarShown = 0xD;
constexpr WORD kNotifyScrollBarHidden = 0xE;
// Posted, not sent: found while painting, when the parent may not re-enter.
constexpr WORD kNotifyTopIndexChanged = 0xF;
// After the list changed; the codes are the numbers of the list box messages
// that changed it.
constexpr WORD kNotifyStringInserted = 0x181;
constexpr WORD kNotifyStringDeleted = 0x182;
constexpr WORD kNotifyItemHeightSet = 0x1A0;

// In-window dragging (CDragDropItem).
// The pointer has left the drag rectangle: a non-zero answer starts a drag.
constexpr WORD kNotifyDragStart = 0x3E8;
// lParam points to the pointer's screen position; a non-zero answer moves
// the drag image there.
constexpr WORD kNotifyDragMove = 0x3E9;
// Escape pressed during a drag; no drop follows.
constexpr WORD kNotifyDragCancel = 0x3EA;
// lParam points to the screen position of the drop.
constexpr WORD kNotifyDrop = 0x3EB;

// Sent by the combo box's edit field when Delete is pressed: an answer of 1
// swallows the key.
constexpr WORD kNotifyComboDeleteKey = 0x2718;

// Sent (not as WM_COMMAND) by the list box to its parent while files from the
// shell are dragged over it: wParam is the list box, lParam the pointer in
// the list box's client coordinates (GET_X_LPARAM/GET_Y_LPARAM). A non-zero
// answer accepts the files; the drop then arrives as WM_DROPFILES.
constexpr UINT kMsgAcceptFileDrop = 0x8001;

// Sends the notification `code` to the control's parent; returns the answer.
LRESULT NotifyParent(HWND control, WORD code, LPARAM lParam);
LRESULT NotifyParent(HWND control, WORD code);
bool PostNotifyParent(HWND control, WORD code);

// Hover and leave tracking for a control: armed on the first mouse move
// (hover after 500 ms), disarmed when the mouse leaves, armed again on the
// next move in.
class CHoverTracker {
public:
    void OnMouseMove(HWND hwnd);
    void OnMouseLeave() { armed_ = false; }
    bool Armed() const { return armed_; }

private:
    bool armed_ = false;
};
