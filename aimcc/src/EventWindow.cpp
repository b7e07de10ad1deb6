#include <winsock2.h>

#include "EventWindow.h"

namespace AIMCC {

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const wchar_t kClassName[] = L"VlmAccCoreEvents";
const UINT kTaskMessage = WM_APP + 1;
// Socket selections cycle through this range of message numbers.
const UINT kFirstSocketMessage = WM_APP + 0x100;
const UINT kLastSocketMessage = 0xBFFF;

HINSTANCE ModuleInstance()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

bool RegisterWindowClass(WNDPROC proc)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(ModuleInstance(), kClassName, &wc))
        return true;
    wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = ModuleInstance();
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

bool CTaskPoster::Post(Task task)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (!hwnd_)
        return false;
    auto* owned = new (std::nothrow) Task(std::move(task));
    if (!owned)
        return false;
    if (!PostMessageW(hwnd_, message_, 0, reinterpret_cast<LPARAM>(owned))) {
        delete owned;
        return false;
    }
    return true;
}

void CTaskPoster::Close()
{
    std::lock_guard<std::mutex> hold(lock_);
    hwnd_ = nullptr;
}

std::shared_ptr<CEventWindow> CEventWindow::Create()
{
    if (!RegisterWindowClass(WindowProc))
        return nullptr;
    std::shared_ptr<CEventWindow> window(new (std::nothrow) CEventWindow());
    if (!window)
        return nullptr;
    HWND hwnd = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(),
                                window.get());
    if (!hwnd)
        return nullptr;
    window->threadId_ = GetCurrentThreadId();
    window->poster_ = std::make_shared<CTaskPoster>(hwnd, kTaskMessage);
    return window;
}

CEventWindow::~CEventWindow()
{
    if (poster_)
        poster_->Close();
    if (!hwnd_)
        return;
    for (const auto& entry : sockets_)
        WSAAsyncSelect(entry.second.socket, hwnd_, 0, 0);
    for (const auto& timer : timers_)
        KillTimer(hwnd_, timer.first);
    DrainTasks();
    HWND hwnd = hwnd_;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    DestroyWindow(hwnd);
}

void CEventWindow::DrainTasks()
{
    MSG msg = {};
    while (PeekMessageW(&msg, hwnd_, kTaskMessage, kTaskMessage, PM_REMOVE))
        delete reinterpret_cast<Task*>(msg.lParam);
}

int CEventWindow::SelectSocket(SOCKET socket, long events, SocketHandler handler)
{
    ForgetSocket(socket);
    UINT message = 0;
    for (UINT tries = 0; tries <= kLastSocketMessage - kFirstSocketMessage; ++tries) {
        UINT candidate = kFirstSocketMessage + nextSocketMessage_;
        nextSocketMessage_ = (nextSocketMessage_ + 1) % (kLastSocketMessage - kFirstSocketMessage + 1);
        if (!sockets_.count(candidate)) {
            message = candidate;
            break;
        }
    }
    if (!message)
        return WSAENOBUFS;
    sockets_[message] = SocketEntry{socket, std::move(handler)};
    if (WSAAsyncSelect(socket, hwnd_, message, events) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        sockets_.erase(message);
        return error;
    }
    return 0;
}

void CEventWindow::ForgetSocket(SOCKET socket)
{
    for (auto it = sockets_.begin(); it != sockets_.end(); ++it) {
        if (it->second.socket == socket) {
            WSAAsyncSelect(socket, hwnd_, 0, 0);
            sockets_.erase(it);
            return;
        }
    }
}

UINT_PTR CEventWindow::StartTimer(UINT milliseconds, Task callback)
{
    UINT_PTR id = nextTimer_++;
    if (!SetTimer(hwnd_, id, milliseconds, nullptr))
        return 0;
    timers_[id] = std::move(callback);
    return id;
}

void CEventWindow::StopTimer(UINT_PTR id)
{
    if (timers_.erase(id))
        KillTimer(hwnd_, id);
}

LRESULT CALLBACK CEventWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CEventWindow*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<CEventWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        // A task arriving after its window object is gone is freed, not run.
        if (message == kTaskMessage)
            delete reinterpret_cast<Task*>(lParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // A callback may release the last reference to the session that owns
    // this object; holding a reference here keeps the object alive until the
    // callback has returned.
    std::shared_ptr<CEventWindow> keep = self->weak_from_this().lock();
    if (!keep) {
        if (message == kTaskMessage)
            delete reinterpret_cast<Task*>(lParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing thrown by a callback may unwind through the system's
        // dispatch code; the event it belonged to is lost.
        return 0;
    }
}

LRESULT CEventWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kTaskMessage) {
        RunTask(lParam);
        return 0;
    }
    if (message >= kFirstSocketMessage && message <= kLastSocketMessage) {
        OnSocket(message, wParam, lParam);
        return 0;
    }
    if (message == WM_TIMER) {
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void CEventWindow::RunTask(LPARAM lParam)
{
    std::unique_ptr<Task> task(reinterpret_cast<Task*>(lParam));
    if (task && *task)
        (*task)();
}

void CEventWindow::OnSocket(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto it = sockets_.find(message);
    if (it == sockets_.end() || it->second.socket != static_cast<SocketHandle>(wParam))
        return;
    // A copy: the handler may forget its own socket while it runs.
    SocketHandler handler = it->second.handler;
    handler(WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
}

void CEventWindow::OnTimer(UINT_PTR id)
{
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    Task callback = it->second;
    callback();
}

} // namespace AIMCC
