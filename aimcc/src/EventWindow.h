// CEventWindow: the message-only window through which everything a session
// does asynchronously reaches the thread that created the session.
//
// - Tasks: any thread may Post a task (a closure); it runs on the window's
//   thread from that thread's message loop, in the order posted. Events to
//   the client's sinks are such tasks, so they are always delivered on the
//   creating thread and never from inside a call the client made.
// - Sockets: the network side selects its sockets onto this window
//   (WSAAsyncSelect), so socket notifications arrive through the same loop
//   and no other thread ever touches the session.
// - Timers: one-shot or repeating callbacks on the same thread.
//
// Posting from another thread goes through CTaskPoster, which outlives the
// window: once the window is gone, a post is refused (the task is destroyed
// by the poster) instead of reaching a dead or reused window handle. Tasks
// still queued when the window is destroyed are destroyed without running.
//
// The object must be created and destroyed on the same thread.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace AIMCC {

// A Winsock SOCKET; kept as its underlying type so that this header does not
// need <winsock2.h> (which must come before <windows.h> wherever it is used).
using SocketHandle = UINT_PTR;

using Task = std::function<void()>;

class CTaskPoster {
public:
    explicit CTaskPoster(HWND hwnd, UINT message) : hwnd_(hwnd), message_(message) {}
    // Any thread. False when the window is gone; the task is then dropped.
    bool Post(Task task);
    void Close();

private:
    std::mutex lock_;
    HWND hwnd_;
    UINT message_;
};

class CEventWindow : public std::enable_shared_from_this<CEventWindow> {
public:
    // (event, error) of a WSAAsyncSelect notification.
    using SocketHandler = std::function<void(WORD event, WORD error)>;

    // A window on the calling thread; null when the window cannot be made.
    static std::shared_ptr<CEventWindow> Create();
    ~CEventWindow();
    CEventWindow(const CEventWindow&) = delete;
    CEventWindow& operator=(const CEventWindow&) = delete;

    bool Post(Task task) { return poster_->Post(std::move(task)); }
    // For other threads: keeps working (refusing) after the window is gone.
    std::shared_ptr<CTaskPoster> Poster() const { return poster_; }

    // Selects `events` (FD_READ | FD_CONNECT | ...) of a socket onto this
    // window and calls the handler for each notification. Each selection
    // gets a message number of its own, so a notification still queued for
    // an earlier socket with the same handle never reaches this handler.
    int SelectSocket(SocketHandle socket, long events, SocketHandler handler);
    // Deselects the socket; queued notifications for it are ignored.
    void ForgetSocket(SocketHandle socket);

    // A timer on this thread: the callback runs every `milliseconds` until
    // StopTimer. Returns 0 on failure.
    UINT_PTR StartTimer(UINT milliseconds, Task callback);
    void StopTimer(UINT_PTR id);

    HWND Handle() const { return hwnd_; }
    DWORD ThreadId() const { return threadId_; }

private:
    CEventWindow() = default;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void RunTask(LPARAM lParam);
    void OnSocket(UINT message, WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    void DrainTasks();

    HWND hwnd_ = nullptr;
    DWORD threadId_ = 0;
    std::shared_ptr<CTaskPoster> poster_;
    struct SocketEntry {
        SocketHandle socket;
        SocketHandler handler;
    };
    std::map<UINT, SocketEntry> sockets_;   // by message number
    UINT nextSocketMessage_ = 0;
    std::map<UINT_PTR, Task> timers_;
    UINT_PTR nextTimer_ = 1;
};

} // namespace AIMCC
