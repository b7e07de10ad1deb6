#include "UiTestWindows.h"

#include "ControlNotifications.h"
#include "MediaLibrary.h"
#include "TestSupport.h"

#include <shellapi.h>
#include <windowsx.h>

namespace {

constexpr wchar_t kParentClass[] = L"VlmUiTestParent";

bool RegisterParentClass(WNDPROC proc)
{
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kParentClass, &existing))
        return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kParentClass;
    return RegisterClassExW(&wc) != 0;
}

} // namespace

CTestParent::CTestParent()
{
    RegisterParentClass(&CTestParent::Proc);
    // A popup without a caption: Wine leaves it to itself rather than to a
    // window manager, and Xvfb has none to answer when it is hidden.
    hwnd_ = CreateWindowExW(0, kParentClass, L"test parent", WS_POPUP | WS_CLIPCHILDREN, 20, 20, 400, 300, nullptr,
                            nullptr, GetModuleHandleW(nullptr), this);
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd_);
}

CTestParent::~CTestParent()
{
    if (IsWindow(hwnd_))
        DestroyWindow(hwnd_);
}

std::vector<WORD> CTestParent::Codes() const
{
    std::vector<WORD> codes;
    for (const RecordedCommand& command : commands)
        codes.push_back(command.code);
    return codes;
}

std::vector<WORD> CTestParent::CodesBetween(WORD low, WORD high) const
{
    std::vector<WORD> codes;
    for (const RecordedCommand& command : commands) {
        if (command.code >= low && command.code <= high)
            codes.push_back(command.code);
    }
    return codes;
}

const RecordedCommand* CTestParent::Last(WORD code) const
{
    for (auto it = commands.rbegin(); it != commands.rend(); ++it) {
        if (it->code == code)
            return &*it;
    }
    return nullptr;
}

LRESULT CTestParent::OnCommand(WPARAM wParam, LPARAM lParam)
{
    RecordedCommand command = {LOWORD(wParam), HIWORD(wParam), lParam, {0, 0}};
    // The point lives only as long as the message.
    if ((command.code == kNotifyDragMove || command.code == kNotifyDrop) && lParam)
        command.point = *reinterpret_cast<const POINT*>(lParam);
    commands.push_back(command);
    if (onCommand)
        onCommand(command);
    const auto answer = answers.find(command.code);
    return answer != answers.end() ? answer->second : 0;
}

void CTestParent::OnDropFiles(HDROP drop)
{
    ++dropMessages;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        wchar_t name[MAX_PATH] = {};
        DragQueryFileW(drop, i, name, ARRAYSIZE(name));
        droppedFiles.push_back(name);
    }
    DragQueryPoint(drop, &dropPoint);
    DragFinish(drop);
}

LRESULT CALLBACK CTestParent::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CTestParent*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        return self->OnCommand(wParam, lParam);
    case WM_MOUSEWHEEL:
        ++self->wheelMessages;
        return 0;
    case kMsgAcceptFileDrop:
        self->fileAsks.push_back({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return self->acceptFiles;
    case WM_DROPFILES:
        self->OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = self->itemHeight;
        return TRUE;
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        FillRect(draw->hDC, &draw->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return TRUE;
    }
    case WM_CTLCOLORLISTBOX:
        if (self->listBrush)
            return reinterpret_cast<LRESULT>(self->listBrush);
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}



CMediaLibraryScope::CMediaLibraryScope(bool load)
{
    if (load)
        module_.reset(LoadLibraryExW((ExeFolder() + L"VLMMedia.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    SetMediaModule(module_.get());
}

CMediaLibraryScope::~CMediaLibraryScope()
{
    SetMediaModule(nullptr);
}
