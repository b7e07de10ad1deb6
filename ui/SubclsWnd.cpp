#include "SubclsWnd.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr wchar_t kObjectProp[] = L"__oRZSo__";
// The procedure we replaced, kept on the window itself so that our common
// procedure can pass messages on after the object has gone.
constexpr wchar_t kPreviousProp[] = L"__oRZSoPrev__";

// Attached windows, for the lookups by kind. Toast and info-tip windows live
// on threads of their own, hence the lock.
std::mutex g_registryLock;
std::vector<CSubclsWnd*> g_registry;

void Register(CSubclsWnd* object)
{
    std::lock_guard<std::mutex> lock(g_registryLock);
    g_registry.push_back(object);
}

void Unregister(CSubclsWnd* object)
{
    std::lock_guard<std::mutex> lock(g_registryLock);
    g_registry.erase(std::remove(g_registry.begin(), g_registry.end(), object), g_registry.end());
}

template <typename Predicate>
std::vector<HWND> CollectWindows(Predicate wanted)
{
    std::lock_guard<std::mutex> lock(g_registryLock);
    std::vector<HWND> windows;
    for (CSubclsWnd* object : g_registry) {
        if (object->Hwnd() && wanted(object->Kind()))
            windows.push_back(object->Hwnd());
    }
    return windows;
}

bool Contains(std::initializer_list<int> kinds, int kind)
{
    return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

WNDPROC PreviousOf(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(GetPropW(hwnd, kPreviousProp));
}

} // namespace

CSubclsWnd::~CSubclsWnd()
{
    Detach();
}

bool CSubclsWnd::Attach(HWND hwnd, int kind)
{
    if (!IsWindow(hwnd))
        return false;
    if (GetPropW(hwnd, kObjectProp))
        return true;
    if (!SetPropW(hwnd, kObjectProp, this))
        return false;
    hwnd_ = hwnd;
    kind_ = kind;
    Register(this);
    // Still in the chain from an earlier object: take over that place.
    if (WNDPROC kept = PreviousOf(hwnd)) {
        previous_ = kept;
        return true;
    }
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSubclsWnd::CommonProc)));
    SetPropW(hwnd, kPreviousProp, reinterpret_cast<HANDLE>(previous_));
    return true;
}

void CSubclsWnd::Detach()
{
    if (!hwnd_)
        return;
    Unregister(this);
    if (IsWindow(hwnd_) && previous_) {
        if (GetPropW(hwnd_, kObjectProp) == this)
            RemovePropW(hwnd_, kObjectProp);
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd_, GWLP_WNDPROC));
        if (current == &CSubclsWnd::CommonProc) {
            SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
            RemovePropW(hwnd_, kPreviousProp);
        }
    }
    hwnd_ = nullptr;
    previous_ = nullptr;
    kind_ = 0;
}

CSubclsWnd* CSubclsWnd::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<CSubclsWnd*>(GetPropW(hwnd, kObjectProp)) : nullptr;
}

LRESULT CSubclsWnd::CallPrevious(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = previous_ ? previous_ : PreviousOf(hwnd);
    return previous ? CallWindowProcW(previous, hwnd, message, wParam, lParam)
                    : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CSubclsWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_NCDESTROY)
        return CallPrevious(hwnd, message, wParam, lParam);
    const LRESULT result = CallPrevious(hwnd, message, wParam, lParam);
    Detach();
    return result;
}

LRESULT CALLBACK CSubclsWnd::CommonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CSubclsWnd* object = FromHandle(hwnd);
    if (!object) {
        // The object is gone but someone subclassed on top of us: pass on.
        const WNDPROC previous = PreviousOf(hwnd);
        if (message == WM_NCDESTROY)
            RemovePropW(hwnd, kPreviousProp);
        return previous ? CallWindowProcW(previous, hwnd, message, wParam, lParam)
                        : DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // No C++ exception may cross into the system's message dispatch.
    try {
        const LRESULT result = object->WindowProc(hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY)
            RemovePropW(hwnd, kPreviousProp);
        return result;
    } catch (...) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

std::vector<HWND> CSubclsWnd::WindowsOfKinds(std::initializer_list<int> kinds)
{
    return CollectWindows([&](int kind) { return Contains(kinds, kind); });
}

std::vector<HWND> CSubclsWnd::WindowsExceptKinds(std::initializer_list<int> kinds)
{
    return CollectWindows([&](int kind) { return !Contains(kinds, kind); });
}

int CSubclsWnd::CloseWindowsExceptKinds(std::initializer_list<int> kinds, WPARAM wParam)
{
    int asked = 0;
    for (HWND hwnd : WindowsExceptKinds(kinds)) {
        if (!IsWindow(hwnd) || (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
            continue;
        SendMessageW(hwnd, WM_CLOSE, wParam, 0);
        ++asked;
    }
    return asked;
}
