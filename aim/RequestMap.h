// CRequestMap: which window is waiting for the answer to an AIM request. A
// window that starts a request records its handle and kind under the request
// id; the answering event takes the entry out again. The window may have
// been closed meanwhile, or its handle reused by another window: the entry
// resolves to a window only when the handle still carries one of our window
// objects of the kind recorded, so an answer never reaches the wrong object.
#pragma once

#include <windows.h>

#include <map>

class CRequestMap {
public:
    // The window's kind is read from its window object now; a window without
    // one is recorded as no window.
    void Record(long requestId, HWND window);
    // A request whose answer no window waits for (the connection's own).
    void RecordWithoutWindow(long requestId);

    struct Entry {
        bool known = false;   // the id was recorded (and is now forgotten)
        bool hadWindow = false;
        HWND window = nullptr; // null when there was none, or it is gone
        int kind = 0;
    };
    // Forgets the request and says what it was recorded for.
    Entry Take(long requestId);
    bool Holds(long requestId) const { return entries_.count(requestId) != 0; }
    size_t Size() const { return entries_.size(); }
    void Clear() { entries_.clear(); }

private:
    struct Owner {
        HWND window;
        int kind;
    };
    std::map<long, Owner> entries_;
};
