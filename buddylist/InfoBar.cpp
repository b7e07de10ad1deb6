#include "InfoBar.h"

#include "FontSet.h"
#include "PaneWnd.h"
#include "TextMeasure.h"
#include "WindowKinds.h"

namespace {

constexpr int kMargin = 4;      // around the notices
constexpr int kIconSize = 16;
constexpr int kIconGap = 6;     // between an icon and its text
constexpr int kNoticeGap = 4;   // between two notices
constexpr int kBorder = 1;      // the line under the bar

// Wrapped at spaces, and inside a word too long for a line (an address, a
// screen name) rather than cutting it off; "&" is a character, not a prefix.
constexpr UINT kTextFlags = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;

} // namespace

CInfoBar::~CInfoBar()
{
    if (HWND hwnd = Hwnd())
        DestroyWindow(hwnd);
}

bool CInfoBar::Create(HWND parent)
{
    if (Hwnd())
        return true;
    if (!RegisterPaneClass())
        return false;
    HWND hwnd = CreateWindowExW(0, kPaneClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd)
        return false;
    if (!Attach(hwnd, kKindInfoBar)) {
        DestroyWindow(hwnd);
        return false;
    }
    return true;
}

void CInfoBar::AddNotice(HICON icon, const std::wstring& text)
{
    notices_.push_back({icon, text});
    if (Hwnd())
        InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CInfoBar::Clear()
{
    notices_.clear();
    if (HWND hwnd = Hwnd())
        DestroyWindow(hwnd);
}

bool CInfoBar::HasNotices() const
{
    return !notices_.empty();
}

HFONT CInfoBar::Font() const
{
    if (!font_) {
        const LOGFONTW description = UiFontDescription();
        font_.reset(CreateFontIndirectW(&description));
    }
    return font_ ? static_cast<HFONT>(font_.get()) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int CInfoBar::Arrange(HDC dc, int width, std::vector<Placement>* placements) const
{
    if (notices_.empty())
        return 0;
    const int textLeft = kMargin + kIconSize + kIconGap;
    // However narrow the bar, the text keeps a column to wrap into.
    const int textWidth = width - textLeft - kMargin > 1 ? width - textLeft - kMargin : 1;
    int top = kMargin;
    for (const Notice& notice : notices_) {
        SIZE size = {textWidth, 0};
        MeasureText(dc, notice.text.c_str(), static_cast<int>(notice.text.size()), kTextFlags, size);
        const int rowHeight = size.cy > kIconSize ? size.cy : kIconSize;
        if (placements) {
            Placement placement = {};
            // A text lower than its icon sits level with the icon's middle.
            const int textTop = top + (rowHeight - size.cy) / 2;
            placement.icon = {kMargin, top, kMargin + kIconSize, top + kIconSize};
            placement.text = {textLeft, textTop, textLeft + textWidth, textTop + size.cy};
            placements->push_back(placement);
        }
        top += rowHeight + kNoticeGap;
    }
    return top - kNoticeGap + kMargin + kBorder;
}

int CInfoBar::HeightForWidth(int width) const
{
    if (notices_.empty())
        return 0;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!dc)
        return 0;
    int height = 0;
    {
        ScopedSelectObject font(dc, Font());
        height = Arrange(dc, width, nullptr);
    }
    DeleteDC(dc);
    return height;
}

void CInfoBar::Paint(HDC dc, const RECT& client) const
{
    RECT body = client;
    body.bottom -= kBorder;
    FillRect(dc, &body, GetSysColorBrush(COLOR_INFOBK));
    RECT border = client;
    border.top = border.bottom - kBorder;
    FillRect(dc, &border, GetSysColorBrush(COLOR_3DSHADOW));

    ScopedSelectObject font(dc, Font());
    std::vector<Placement> placements;
    Arrange(dc, client.right - client.left, &placements);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    for (size_t i = 0; i < placements.size(); ++i) {
        const Notice& notice = notices_[i];
        if (notice.icon)
            DrawIconEx(dc, placements[i].icon.left, placements[i].icon.top, notice.icon, kIconSize, kIconSize, 0,
                       nullptr, DI_NORMAL);
        RECT text = placements[i].text;
        DrawTextW(dc, notice.text.c_str(), static_cast<int>(notice.text.size()), &text, kTextFlags);
    }
}

void CInfoBar::OnPaint(HWND hwnd)
{
    PAINTSTRUCT paint = {};
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client;
    GetClientRect(hwnd, &client);
    // Drawn off-screen first: the bar is repainted on every resize of the
    // main window and would flicker otherwise.
    HDC memory = CreateCompatibleDC(dc);
    ScopedGdiObject bitmap(CreateCompatibleBitmap(dc, client.right > 0 ? client.right : 1,
                                                  client.bottom > 0 ? client.bottom : 1));
    if (memory && bitmap) {
        {
            ScopedSelectObject selected(memory, bitmap.get());
            Paint(memory, client);
            BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        }
    } else {
        Paint(dc, client);
    }
    if (memory)
        DeleteDC(memory);
    EndPaint(hwnd, &paint);
}

LRESULT CInfoBar::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        OnPaint(hwnd);
        return 0;
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(hwnd, &client);
        Paint(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    default:
        return CSubclsWnd::WindowProc(hwnd, message, wParam, lParam);
    }
}
