#include "SuperClassBase.h"

#include "LangStrings.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr wchar_t kObjectProp[] = L"_CSuperWnd_";

// Our superclasses, with how many live objects registered each. The entry
// also lets a window whose object has gone reach its system procedure.
struct SuperClassEntry {
    std::wstring name;
    HINSTANCE instance;
    WNDPROC systemProc;
    int users;
};

std::mutex g_classLock;
std::vector<SuperClassEntry> g_classes;

// Class names compare without regard to case, as Windows compares them.
std::vector<SuperClassEntry>::iterator FindClass(const wchar_t* name)
{
    return std::find_if(g_classes.begin(), g_classes.end(),
                        [name](const SuperClassEntry& entry) { return _wcsicmp(entry.name.c_str(), name) == 0; });
}

WNDPROC SystemProcOfWindow(HWND hwnd)
{
    wchar_t name[256] = {};
    if (!GetClassNameW(hwnd, name, ARRAYSIZE(name)))
        return nullptr;
    std::lock_guard<std::mutex> lock(g_classLock);
    const auto entry = FindClass(name);
    return entry != g_classes.end() ? entry->systemProc : nullptr;
}

void ReleaseClass(const std::wstring& name)
{
    std::lock_guard<std::mutex> lock(g_classLock);
    const auto entry = FindClass(name.c_str());
    if (entry == g_classes.end() || --entry->users > 0)
        return;
    // Fails while windows of the class live on without their objects; the
    // entry then stays so that they still reach their system procedure.
    if (UnregisterClassW(entry->name.c_str(), entry->instance))
        g_classes.erase(entry);
}

} // namespace

CSuperClassBase::~CSuperClassBase()
{
    // The window outlives us: let it go on as a plain control.
    if (hwnd_ && IsWindow(hwnd_) && FromHandle(hwnd_) == this)
        RemovePropW(hwnd_, kObjectProp);
    hwnd_ = nullptr;
    for (const std::wstring& name : heldClasses_)
        ReleaseClass(name);
}

bool CSuperClassBase::RegisterSuperclass(HINSTANCE instance, const wchar_t* newClassName,
                                         const wchar_t* systemClassName, UINT style)
{
    WNDCLASSEXW system = {};
    system.cbSize = sizeof(system);
    if (!GetClassInfoExW(nullptr, systemClassName, &system) && !GetClassInfoExW(instance, systemClassName, &system))
        return false;
    systemProc_ = system.lpfnWndProc;

    std::lock_guard<std::mutex> lock(g_classLock);
    auto entry = FindClass(newClassName);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(instance, newClassName, &existing)) {
        WNDCLASSEXW wc = system;
        wc.cbSize = sizeof(wc);
        // The system class's own style (double clicks, parent DC) must stay,
        // but not CS_GLOBALCLASS: the superclass is the program's alone.
        wc.style = (system.style | style) & ~CS_GLOBALCLASS;
        wc.lpfnWndProc = &CSuperClassBase::CommonProc;
        wc.hInstance = instance;
        wc.lpszClassName = newClassName;
        if (!RegisterClassExW(&wc))
            return false;
        if (entry == g_classes.end())
            entry = g_classes.insert(g_classes.end(), SuperClassEntry{newClassName, instance, systemProc_, 0});
        else
            *entry = SuperClassEntry{newClassName, instance, systemProc_, entry->users};
    }
    // A class of that name that someone else registered is used as it is and
    // never unregistered by us.
    if (entry == g_classes.end())
        return true;
    const bool held = std::any_of(heldClasses_.begin(), heldClasses_.end(), [newClassName](const std::wstring& name) {
        return _wcsicmp(name.c_str(), newClassName) == 0;
    });
    if (!held) {
        heldClasses_.push_back(newClassName);
        ++entry->users;
    }
    return true;
}

HWND CSuperClassBase::CreateSuperWindow(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style,
                                        const RECT& rect, HWND parent, HMENU menuOrId, HINSTANCE instance,
                                        void* createValue)
{
    CSuperCreateParams params = {createValue, this};
    return CreateWindowExW(exStyle, className, text, style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, menuOrId, instance, &params);
}

bool CSuperClassBase::CreateControl(const wchar_t* newClassName, const wchar_t* systemClassName, UINT classStyle,
                                    HWND parent, int id, DWORD style, DWORD exStyle, const RECT& rect,
                                    void* createValue)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterSuperclass(instance, newClassName, systemClassName, classStyle)) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    HMENU menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    if (!CreateSuperWindow(exStyle, newClassName, L"", style | WS_CHILD, rect, parent, menuOrId, instance,
                           createValue)) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    return true;
}

CSuperClassBase* CSuperClassBase::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<CSuperClassBase*>(GetPropW(hwnd, kObjectProp)) : nullptr;
}

LRESULT CSuperClassBase::CallSystemProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return systemProc_ ? CallWindowProcW(systemProc_, hwnd, message, wParam, lParam)
                       : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CSuperClassBase::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        hwnd_ = hwnd;
    const LRESULT result = CallSystemProc(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        hwnd_ = nullptr;
    return result;
}

LRESULT CALLBACK CSuperClassBase::CommonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CSuperClassBase* object = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* params = static_cast<CSuperCreateParams*>(create->lpCreateParams);
        if (params && params->object) {
            object = params->object;
            SetPropW(hwnd, kObjectProp, object);
            // Windows hands the same CREATESTRUCT to WM_CREATE.
            create->lpCreateParams = params->createValue;
        }
    } else {
        object = FromHandle(hwnd);
    }
    if (!object) {
        const WNDPROC system = SystemProcOfWindow(hwnd);
        return system ? CallWindowProcW(system, hwnd, message, wParam, lParam)
                      : DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // No C++ exception may cross into the system's message dispatch.
    LRESULT result = 0;
    try {
        result = object->WindowProc(hwnd, message, wParam, lParam);
    } catch (...) {
        result = DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY)
        RemovePropW(hwnd, kObjectProp);
    return result;
}
