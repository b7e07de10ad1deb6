// How long the buddy list pane takes to build an account's rows from scratch
// (what a whole-list change makes it do): 1,000 buddies in 20 groups, sorted
// by state and name, over in-process objects with the AIM layer's
// interfaces. Prints the fastest and the middle of several runs.
#include "AppState.h"
#include "FakeAccList.h"
#include "MainBLPane.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kGroups = 20;
constexpr int kBuddiesPerGroup = 50;
constexpr int kRuns = 9;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void FillList(fake::Session* session)
{
    const long states[] = {AIMCC::AccPresence::Available, AIMCC::AccPresence::Away, AIMCC::AccPresence::Idle,
                           AIMCC::AccPresence::Available};
    for (int g = 0; g < kGroups; ++g) {
        fake::Group* group = session->AddGroup(L"Group " + std::to_wstring(g + 1));
        for (int b = 0; b < kBuddiesPerGroup; ++b) {
            // Names out of order, so sorting has work to do.
            const int n = (b * 37 + g * 11) % 1000;
            session->AddBuddy(group, L"buddy " + std::to_wstring(g) + L"x" + std::to_wstring(n), states[(b + g) % 4]);
        }
    }
}

} // namespace

int main()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring ini = std::wstring(temp) + L"VelmoraBench.ini";
    DeleteFileW(ini.c_str());
    Settings().SetPath(ini.c_str());
    Settings().WriteBool(L"Settings.BL", L"SortStatus", true);
    Settings().WriteBool(L"Settings.BL", L"SortAlpha", true);

    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 220, 600, nullptr, nullptr, nullptr, nullptr);
    CMainBLPane pane;
    if (!parent || !pane.Create(parent)) {
        std::fprintf(stderr, "cannot create the pane\n");
        return 1;
    }
    SetWindowPos(pane.Hwnd(), nullptr, 0, 0, 220, 600, SWP_NOZORDER | SWP_SHOWWINDOW);

    {
        // For comparison: the system list box alone, and one window-property
        // read, which every message to one of our windows costs at least once.
        HWND plain = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_HASSTRINGS |
                                     LBS_OWNERDRAWVARIABLE | LBS_NOINTEGRALHEIGHT, 0, 0, 200, 500, parent, nullptr, nullptr, nullptr);
        LARGE_INTEGER a, b, c;
        QueryPerformanceCounter(&a);
        SendMessageW(plain, WM_SETREDRAW, FALSE, 0);
        for (int i = 0; i < 1000; ++i)
            SendMessageW(plain, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"buddy"));
        QueryPerformanceCounter(&b);
        for (int i = 999; i >= 0; --i)
            SendMessageW(plain, LB_DELETESTRING, i, 0);
        QueryPerformanceCounter(&c);
        std::printf("plain list box: 1000 inserts %.1f ms, 1000 deletes %.1f ms\n", Milliseconds(a, b), Milliseconds(b, c));
        SetPropW(plain, L"bench", plain);
        LARGE_INTEGER d;
        for (int i = 0; i < 1000; ++i)
            GetPropW(plain, L"bench");
        QueryPerformanceCounter(&d);
        std::printf("1000 window-property reads: %.1f ms\n", Milliseconds(c, d));
        RemovePropW(plain, L"bench");
        DestroyWindow(plain);
    }
    Microsoft::WRL::ComPtr<fake::Session> session;
    *session.ReleaseAndGetAddressOf() = new fake::Session(L"Bench Account");
    FillList(session.Get());
    pane.AddSession(session.Get(), true);

    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        pane.RebuildSession(session.Get());
        QueryPerformanceCounter(&end);
        times.push_back(Milliseconds(start, end));
    }
    std::sort(times.begin(), times.end());
    std::printf("rebuild of %d buddies in %d groups (%d rows): fastest %.1f ms, median %.1f ms over %d runs\n",
                kGroups * kBuddiesPerGroup, kGroups, pane.RowCount(), times.front(), times[times.size() / 2], kRuns);

    // Buddies changing state one at a time, each moving to its new place.
    std::vector<double> changes;
    for (int i = 0; i < 100; ++i) {
        const int g = (i * 7) % kGroups;
        const int b = (i * 13) % kBuddiesPerGroup;
        fake::User* user = session->list->groups[static_cast<size_t>(g)]->buddies[static_cast<size_t>(b)].Get();
        const long now = user->GetLong(AIMCC::AccUserProp::Presence) == AIMCC::AccPresence::Away
                             ? AIMCC::AccPresence::Available
                             : AIMCC::AccPresence::Away;
        user->SetLong(AIMCC::AccUserProp::Presence, now);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        pane.BuddyChanged(session.Get(), user, AIMCC::AccUserProp::Presence);
        QueryPerformanceCounter(&end);
        changes.push_back(Milliseconds(start, end));
    }
    std::sort(changes.begin(), changes.end());
    std::printf("one buddy changing state in that list: median %.2f ms, slowest %.2f ms over %zu changes\n",
                changes[changes.size() / 2], changes.back(), changes.size());

    pane.Reset();
    DestroyWindow(parent);
    Settings().SetPath(nullptr);
    DeleteFileW(ini.c_str());
    return pane.RowCount() == 0 ? 0 : 1;
}
