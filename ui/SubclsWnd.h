// CSubclsWnd: the object behind one of our windows. Attaching stores the
// object in the window property "__oRZSo__" and routes the window's messages
// through one common procedure to the object's WindowProc; the object is found
// from the handle through that property, never by searching. It detaches
// itself at WM_NCDESTROY, so an object may outlive its window and create it
// again.
//
// Other code may subclass the window after us (comctl32's tooltips do). When
// we detach and are no longer the window's current procedure we cannot unhook
// without cutting them off, so our procedure stays in the chain and simply
// passes messages on to the one before it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

class CSubclsWnd {
public:
    CSubclsWnd() = default;
    virtual ~CSubclsWnd();
    CSubclsWnd(const CSubclsWnd&) = delete;
    CSubclsWnd& operator=(const CSubclsWnd&) = delete;

    // Fails when hwnd is not a window. A window that already has an object
    // keeps it (and this reports success). Returns true otherwise, once the
    // window's messages reach this object.
    bool Attach(HWND hwnd, int kind);
    void Detach();

    static CSubclsWnd* FromHandle(HWND hwnd);

    HWND Hwnd() const { return hwnd_; }
    int Kind() const { return kind_; }

    // Every attached window of the process (of any thread) whose kind is, or
    // is not, in the list.
    static std::vector<HWND> WindowsOfKinds(std::initializer_list<int> kinds);
    static std::vector<HWND> WindowsExceptKinds(std::initializer_list<int> kinds);
    // Sends WM_CLOSE with `wParam` to every attached top-level window whose
    // kind is not in the list; returns how many were asked.
    static int CloseWindowsExceptKinds(std::initializer_list<int> kinds, WPARAM wParam);

protected:
    // The default passes the message on; at WM_NCDESTROY it detaches after.
    virtual LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CallPrevious(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK CommonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    WNDPROC previous_ = nullptr;
    int kind_ = 0;
};
