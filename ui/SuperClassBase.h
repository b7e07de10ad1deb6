// CSuperClassBase: the object behind a superclassed standard control (edit,
// list box, combo box, tab control). Subclassing after CreateWindowEx would
// miss the first messages, so these controls get a class of their own whose
// procedure is ours: it finds the object in the creation parameter at
// WM_NCCREATE, keeps it in the window property "_CSuperWnd_" and hands every
// message to the object, which passes what it does not handle to the system
// class's procedure.
//
// The creation parameter of such a window is a CSuperCreateParams (the
// caller's own value and the object); the procedure puts the caller's value
// back into CREATESTRUCT::lpCreateParams before anyone sees it, so the
// control and the object read it at WM_CREATE as usual.
//
// Class registrations are shared: every object that registered a class holds
// one use of it, and the class is unregistered when the last of them goes.
// A window may outlive its object (the object lets go of it in its
// destructor); the window then keeps working with the system procedure, and
// its class stays registered until the process ends, since Windows refuses to
// unregister a class that still has windows.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CSuperClassBase;

struct CSuperCreateParams {
    void* createValue; // what the window sees in lpCreateParams
    CSuperClassBase* object;
};

class CSuperClassBase {
public:
    CSuperClassBase() = default;
    virtual ~CSuperClassBase();
    CSuperClassBase(const CSuperClassBase&) = delete;
    CSuperClassBase& operator=(const CSuperClassBase&) = delete;

    // Reads `systemClassName` (false when there is no such class) and keeps
    // its procedure for this object. Registers `newClassName` for `instance`
    // with our procedure, the system class's style plus `style`, unless it is
    // registered already. This object then holds a use of the class.
    bool RegisterSuperclass(HINSTANCE instance, const wchar_t* newClassName, const wchar_t* systemClassName,
                            UINT style);

    // CreateWindowExW on a class registered above, bound to this object.
    HWND CreateSuperWindow(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                           const RECT& rect, HWND parent, HMENU menuOrId, HINSTANCE instance, void* createValue);

    static CSuperClassBase* FromHandle(HWND hwnd);
    HWND Hwnd() const { return hwnd_; }

protected:
    // The default remembers the handle at WM_NCCREATE, calls the system
    // class's procedure, and forgets the handle after WM_NCDESTROY.
    virtual LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CallSystemProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // After telling the parent something it may answer by destroying the
    // window, and the object with it: true when both are still there. Static
    // and comparing addresses only, so an object that is gone is never
    // touched.
    static bool StillBound(HWND hwnd, const CSuperClassBase* object)
    {
        return IsWindow(hwnd) && FromHandle(hwnd) == object;
    }

    // Registration and creation of a child control of the program, with the
    // error box on failure: what every control's Create does.
    bool CreateControl(const wchar_t* newClassName, const wchar_t* systemClassName, UINT classStyle,
                       HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect, void* createValue);

private:
    static LRESULT CALLBACK CommonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    WNDPROC systemProc_ = nullptr;
    std::vector<std::wstring> heldClasses_;
};
