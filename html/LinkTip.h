// CLinkTip: the address of the link under the mouse, shown in a tooltip
// over an HTML view a moment after the control reports it, with a warning
// title and icon when the link leads to a file that would run as a program.
//
// The owner passes on the control's status texts and its timer; the tip
// itself is attached to the control's inner window once the first page is
// there.
#pragma once

#include <windows.h>

#include "ToolTip.h"

#include <string>

class CLinkTip {
public:
    static constexpr UINT_PTR kTimer = 5981;
    static constexpr UINT kDelayMs = 250;

    CLinkTip() = default;
    CLinkTip(const CLinkTip&) = delete;
    CLinkTip& operator=(const CLinkTip&) = delete;

    // Finds the control's inner window under `host` ("Shell Embedding" >
    // "Shell DocObject View" > "Internet Explorer_Server") and puts the
    // tooltip on it. False when the control has no such window yet.
    bool Attach(HWND host);
    bool Attached() const { return server_ != nullptr; }
    // A status text of the control: an address starts the timer of `host`,
    // anything else hides the tip.
    void OnStatusText(HWND host, const wchar_t* text);
    // The timer fired: shows the tip at the cursor.
    void OnTimer(HWND host);
    void Destroy(HWND host);

    HWND ServerWindow() const { return server_; }
    HWND TipWindow() const { return tooltip_.Hwnd(); }

private:
    void Hide();

    std::wstring hoveredLink_;
    HWND server_ = nullptr;
    CToolTip tooltip_;
};

// The control's inner window under a host window, or null.
HWND FindBrowserServerWindow(HWND host);
