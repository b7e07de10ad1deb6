// Drawing the pane's rows: owner-drawn, each row painted off screen and
// copied, so a row never flickers while the list changes under it.
#include "MainBLPane.h"

#include "AccountSettings.h"
#include "AppState.h"
#include "BLAccess.h"
#include "LangStrings.h"
#include "MediaLibrary.h"

#include <gdiplus.h>
#include <shlwapi.h>

#include <algorithm>
#include <map>
#include <memory>

using Microsoft::WRL::ComPtr;
using namespace AIMCC;

namespace {

constexpr wchar_t kDefaultIconHash[] = L"0201D20472";
constexpr wchar_t kFeedCapability[] = L"{09460001-4C7F-11D1-8222-444553540000}";
constexpr int kIdleAwayValue = 599;
constexpr size_t kMaxCachedIcons = 256;
constexpr size_t kMaxIconBytes = 256 * 1024;

// Icons of the media library at 16 pixels, loaded once.
HICON PresenceIcon(int id)
{
    static std::map<int, ScopedIcon> icons;
    auto found = icons.find(id);
    if (found == icons.end())
        found = icons.emplace(id, ScopedIcon(LoadMediaIcon(id, 16))).first;
    return found->second.get();
}

// The program's icon at the size nearest below the buddy icon size.
HICON ProgramIcon(int iconSize)
{
    static std::map<int, ScopedIcon> icons;
    const int size = iconSize <= 23 ? 16 : iconSize <= 31 ? 24 : iconSize <= 47 ? 32 : iconSize <= 63 ? 48 : 64;
    auto found = icons.find(size);
    if (found == icons.end()) {
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0));
        if (!icon)
            icon = LoadMediaIcon(101, size);
        found = icons.emplace(size, ScopedIcon(icon)).first;
    }
    return found->second.get();
}

// Decoded buddy icons by their hash: the bytes of one hash never change.
std::unique_ptr<Gdiplus::Bitmap> DecodeIcon(const VARIANT& data)
{
    if (data.vt != (VT_ARRAY | VT_UI1) || !data.parray || SafeArrayGetDim(data.parray) != 1)
        return nullptr;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(data.parray, 1, &low);
    SafeArrayGetUBound(data.parray, 1, &high);
    const LONG size = high - low + 1;
    if (size <= 0 || static_cast<size_t>(size) > kMaxIconBytes)
        return nullptr;
    void* bytes = nullptr;
    if (FAILED(SafeArrayAccessData(data.parray, &bytes)))
        return nullptr;
    ComPtr<IStream> stream;
    *stream.ReleaseAndGetAddressOf() = SHCreateMemStream(static_cast<const BYTE*>(bytes), static_cast<UINT>(size));
    SafeArrayUnaccessData(data.parray);
    if (!stream)
        return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream.Get()));
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok || decoded->GetWidth() == 0)
        return nullptr;
    // A copy of its own, so the stream can go.
    auto copy = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(decoded->GetWidth()),
                                                  static_cast<INT>(decoded->GetHeight()), PixelFormat32bppPARGB);
    if (copy->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::Graphics graphics(copy.get());
    graphics.DrawImage(decoded.get(), 0, 0, static_cast<INT>(decoded->GetWidth()),
                       static_cast<INT>(decoded->GetHeight()));
    return copy;
}

struct IconCache {
    std::map<std::wstring, std::unique_ptr<Gdiplus::Bitmap>> pictures; // null: not decodable
};

IconCache& Icons()
{
    static IconCache cache;
    return cache;
}

void DrawPicture(HDC dc, Gdiplus::Bitmap* picture, const RECT& rect)
{
    Gdiplus::Graphics graphics(dc);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.DrawImage(picture, Gdiplus::Rect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top));
}

// The 9-point caret of a group row: a small filled triangle drawn as one
// zig-zag line, pointing down (expanded) or right (collapsed).
void DrawCaret(HDC dc, int x, int y, bool expanded, COLORREF color)
{
    static const POINT down[9] = {{0, 0}, {8, 0}, {7, 1}, {1, 1}, {2, 2}, {6, 2}, {5, 3}, {3, 3}, {4, 4}};
    POINT points[9];
    for (int i = 0; i < 9; ++i) {
        const POINT p = expanded ? down[i] : POINT{down[i].y + 2, down[i].x - 2};
        points[i] = {x + p.x, y + p.y};
    }
    ScopedGdiObject pen(CreatePen(PS_SOLID, 1, color));
    ScopedSelectObject selected(dc, pen.get());
    Polyline(dc, points, 9);
}

void FillColor(HDC dc, const RECT& rect, COLORREF color)
{
    SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

RECT Offset(const RECT& rect, const RECT& row)
{
    RECT moved = rect;
    OffsetRect(&moved, row.left, row.top);
    return moved;
}

} // namespace

void CMainBLPane::OnMeasureItem(MEASUREITEMSTRUCT* item)
{
    item->itemHeight = static_cast<UINT>(pendingHeight_ > 0 ? pendingHeight_ : BuddyHeight(false));
}

HBRUSH CMainBLPane::ListBrush()
{
    if (!listBrush_)
        listBrush_.reset(CreateSolidBrush(colsFonts_.listBackground));
    return static_cast<HBRUSH>(listBrush_.get());
}

void CMainBLPane::OnDrawItem(const DRAWITEMSTRUCT* item)
{
    if (item->itemID == static_cast<UINT>(-1))
        return;
    const int row = static_cast<int>(item->itemID);
    const RECT& target = item->rcItem;
    const int width = target.right - target.left;
    const int height = target.bottom - target.top;
    if (width <= 0 || height <= 0)
        return;
    HDC dc = CreateCompatibleDC(item->hDC);
    ScopedGdiObject bitmap(CreateCompatibleBitmap(item->hDC, width, height));
    if (!dc || !bitmap) {
        if (dc)
            DeleteDC(dc);
        return;
    }
    {
        ScopedSelectObject selectBitmap(dc, bitmap.get());
        // Brushes of the main window's background line up with the list.
        POINT origin = {target.left, target.top};
        MapWindowPoints(item->hwndItem, GetParent(Hwnd()), &origin, 1);
        SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
        const RECT rect = {0, 0, width, height};
        const BLRowKind kind = RowKind(row);
        const bool selected = (item->itemState & ODS_SELECTED) != 0;
        DrawRowBackground(dc, rect, kind, selected, row == hoverRow_);
        SetBkMode(dc, TRANSPARENT);
        switch (kind) {
        case BLRowKind::Header:
            DrawHeader(dc, rect, row);
            break;
        case BLRowKind::Group:
            DrawGroup(dc, rect, row);
            break;
        case BLRowKind::Buddy:
            DrawBuddy(dc, rect, row, selected);
            break;
        default:
            break;
        }
        if (dragKind_ != DragKind::None && dragTarget_ == row && !IsRectEmpty(&insertMark_)) {
            RECT mark = insertMark_;
            OffsetRect(&mark, 0, -target.top);
            FillColor(dc, mark, colsFonts_.buddyText);
        }
        BitBlt(item->hDC, target.left, target.top, width, height, dc, 0, 0, SRCCOPY);
    }
    DeleteDC(dc);
}

void CMainBLPane::DrawRowBackground(HDC dc, const RECT& rect, BLRowKind kind, bool selected, bool hover)
{
    switch (kind) {
    case BLRowKind::Header:
        if (!DrawThemePart(dc, ThemePart::PanelBackground, rect))
            FillColor(dc, rect, colsFonts_.panelBackground);
        return;
    case BLRowKind::Group:
        if (!DrawThemePart(dc, ThemePart::GroupBackground, rect))
            FillColor(dc, rect, colsFonts_.groupBackground);
        return;
    default:
        break;
    }
    if (selected) {
        if (!DrawThemePart(dc, ThemePart::BuddySelected, rect))
            FillColor(dc, rect, colsFonts_.selectedBackground);
    } else if (hover) {
        if (!DrawThemePart(dc, ThemePart::BuddyHover, rect))
            FillColor(dc, rect, colsFonts_.hoverBackground);
    } else if (!DrawThemePart(dc, ThemePart::BuddyBackground, rect)) {
        FillRect(dc, &rect, ListBrush());
    }
}

void CMainBLPane::DrawRowText(HDC dc, const std::wstring& text, RECT rect, COLORREF color, UINT flags)
{
    flags |= DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
    if (settings_.textDropShadow) {
        RECT shadow = rect;
        OffsetRect(&shadow, 3, 3);
        ::SetTextColor(dc, colsFonts_.dropShadow);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shadow, flags);
        // A colour the shadow would swallow is lifted just above black.
        if (color < 0x010101)
            color = 0x020202;
    }
    ::SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
}

CMainBLPane::PresenceIcons CMainBLPane::PresenceOf(IAccSession* session, IAccUser* buddy) const
{
    PresenceIcons icons;
    if (!buddy)
        return icons;
    const std::wstring name = CompactScreenName(bl::ReadText(buddy, AccUserProp::Name));
    const bool self = _wcsicmp(name.c_str(), CompactScreenName(bl::SessionIdentity(session)).c_str()) == 0;
    const std::vector<std::wstring> capabilities = bl::ReadTextArray(buddy, AccUserProp::Capabilities);
    for (const std::wstring& capability : capabilities) {
        if (_wcsicmp(capability.c_str(), kFeedCapability) == 0)
            icons.capabilityOverlay = 162;
    }
    if (!self && bl::ReadBool(buddy, AccUserProp::Blocked, false)) {
        icons.icon = 118;
        icons.themePart = ThemePart::StatusBlocked;
        return icons;
    }
    const unsigned long flags = static_cast<unsigned long>(bl::ReadLong(buddy, AccUserProp::UserClass, 0));
    const bool mobile = IsMobile(flags);
    if (mobile && !settings_.showMobileBuddies)
        return icons;
    switch (bl::ReadLong(buddy, AccUserProp::Presence, kStateOffline)) {
    case kStateAvailable:
        icons.icon = 102;
        icons.themePart = ThemePart::StatusAvailable;
        break;
    case kStateIdle:
        icons.icon = 103;
        icons.idleText = true;
        icons.themePart = ThemePart::StatusIdle;
        break;
    case kStateAway:
        icons.icon = 100;
        icons.idleText = bl::ReadLong(buddy, AccUserProp::IdleTime, 0) > kIdleAwayValue;
        icons.themePart = ThemePart::StatusAway;
        break;
    default:
        break;
    }
    if (mobile) {
        icons.themePart = ThemePart::StatusMobile;
        icons.overlay = 131;
    }
    return icons;
}

void CMainBLPane::DrawPresence(HDC dc, const RECT& rect, const PresenceIcons& icons)
{
    if (!DrawThemePart(dc, icons.themePart, rect)) {
        DrawIconEx(dc, rect.left, rect.top, PresenceIcon(icons.icon), 16, 16, 0, nullptr, DI_NORMAL);
        if (icons.overlay)
            DrawIconEx(dc, rect.left, rect.top, PresenceIcon(icons.overlay), 16, 16, 0, nullptr, DI_NORMAL);
    }
    if (icons.capabilityOverlay)
        DrawIconEx(dc, rect.left, rect.top, PresenceIcon(icons.capabilityOverlay), 16, 16, 0, nullptr, DI_NORMAL);
}

void CMainBLPane::DrawBuddyIcon(HDC dc, const RECT& rect, IAccSession*, IAccUser* buddy)
{
    const int size = rect.right - rect.left;
    auto drawProgramIcon = [&] {
        DrawIconEx(dc, rect.left, rect.top, ProgramIcon(size), size, rect.bottom - rect.top, 0, nullptr, DI_NORMAL);
    };
    HRESULT hr = S_OK;
    ComPtr<IAccBartItem> icon = bl::ReadObject<IAccBartItem>(buddy, AccUserProp::BuddyIcon, &hr);
    if (hr == ACC_E_PENDING) {
        long request = 0;
        buddy->RequestProperty(AccUserProp::BuddyIcon, &request);
    }
    if (!icon) {
        drawProgramIcon();
        return;
    }
    const std::wstring hash = bl::ReadText(icon.Get(), AccBartProp::Id);
    if (hash.empty() || _wcsicmp(hash.c_str(), kDefaultIconHash) == 0) {
        drawProgramIcon();
        return;
    }
    IconCache& cache = Icons();
    auto found = cache.pictures.find(hash);
    if (found == cache.pictures.end()) {
        bl::CVariant data;
        const HRESULT dataResult = bl::ReadProperty(icon.Get(), AccBartProp::Data, data);
        if (dataResult == ACC_E_PENDING) {
            long request = 0;
            icon->RequestProperty(AccBartProp::Data, &request);
            drawProgramIcon();
            return;
        }
        if (cache.pictures.size() >= kMaxCachedIcons)
            cache.pictures.clear();
        found = cache.pictures.emplace(hash, SUCCEEDED(dataResult) ? DecodeIcon(data.Get()) : nullptr).first;
    }
    if (found->second)
        DrawPicture(dc, found->second.get(), rect);
    else
        drawProgramIcon();
}

void CMainBLPane::DrawBuddy(HDC dc, const RECT& rect, int row, bool selected)
{
    IAccSession* session = SessionOfRow(row);
    ComPtr<IAccUser> buddy = BuddyOfRow(row);
    if (!buddy)
        return;
    const int normal = BuddyHeight(false);
    const BuddyRowLayout layout = LayoutBuddyRow(rect.right - rect.left, normal, buddyLine_, settings_);
    ScopedSelectObject font(dc, buddyFont_.get());

    if (settings_.showBuddyIcons)
        DrawBuddyIcon(dc, Offset(layout.icon, rect), session, buddy.Get());
    const PresenceIcons icons = PresenceOf(session, buddy.Get());
    DrawPresence(dc, Offset(layout.presence, rect), icons);
    if (settings_.showFeedIndicator && bl::ReadLong(buddy.Get(), AccUserProp::Feed, 0) > 0)
        DrawIconEx(dc, rect.left + layout.feed.left, rect.top + layout.feed.top, PresenceIcon(162), 16, 16, 0,
                   nullptr, DI_NORMAL);

    std::wstring name;
    if (settings_.showAlias)
        name = bl::ReadText(buddy.Get(), AccUserProp::Alias);
    if (name.empty())
        name = bl::ReadText(buddy.Get(), AccUserProp::Name);
    if (name.empty())
        name = RowText(row);
    COLORREF color = selected ? colsFonts_.selectedBuddyText : colsFonts_.buddyText;
    if (icons.idleText && !selected)
        color = colsFonts_.idleBuddyText;
    DrawRowText(dc, name, Offset(layout.name, rect), color, DT_LEFT | DT_VCENTER);

    if (!settings_.showPMsg || rect.bottom - rect.top <= normal)
        return;
    const long state = bl::ReadLong(buddy.Get(), AccUserProp::Presence, kStateOffline);
    if (state == kStateOffline || state == kStateUnknown)
        return;
    bool pending = false;
    const std::wstring message = StatusMessageOf(buddy.Get(), &pending);
    if (pending) {
        long request = 0;
        buddy->RequestProperty(AccUserProp::StatusText, &request);
    }
    if (message.empty())
        return;
    const COLORREF messageColor = StatusLinkOf(buddy.Get()).empty() ? colsFonts_.statusText : colsFonts_.hyperlink;
    DrawRowText(dc, message, Offset(layout.message, rect), messageColor, DT_LEFT | DT_VCENTER);
}

std::wstring CMainBLPane::GroupCaption(IAccSession* session, IAccGroup* group) const
{
    const std::wstring name = bl::GroupName(group);
    long first = 0;
    long second = 0;
    if (bl::ReadBool(group, AccGroupProp::IsOfflineGroup, false)) {
        group->get_BuddyCount(&first);
        for (const ComPtr<IAccGroup>& other : bl::GroupsOf(session)) {
            if (other.Get() == group || bl::ReadBool(other.Get(), AccGroupProp::IsOfflineGroup, false))
                continue;
            long count = 0;
            if (SUCCEEDED(other->get_BuddyCount(&count)))
                second += count;
        }
    } else {
        first = bl::ReadLong(group, AccGroupProp::OnlineCount, 0);
        group->get_BuddyCount(&second);
        if (!settings_.showMobileBuddies) {
            // Mobile buddies the layer counts as on line show as off line.
            for (long i = 0; i < second; ++i) {
                ComPtr<IAccUser> buddy;
                if (FAILED(group->GetBuddyByIndex(i, buddy.GetAddressOf())) || !buddy)
                    continue;
                const long state = bl::ReadLong(buddy.Get(), AccUserProp::Presence, kStateOffline);
                const unsigned long flags = static_cast<unsigned long>(bl::ReadLong(buddy.Get(), AccUserProp::UserClass, 0));
                if (state != kStateOffline && state != kStateUnknown && IsMobile(flags))
                    --first;
            }
            first = std::max(0L, first);
        }
    }
    return FormatLangString(346, {name, std::to_wstring(first), std::to_wstring(second)});
}

void CMainBLPane::DrawGroup(HDC dc, const RECT& rect, int row)
{
    IAccSession* session = SessionOfRow(row);
    ComPtr<IAccGroup> group = GroupOfRow(row);
    const bool expanded = !group || bl::ReadBool(group.Get(), AccGroupProp::Expanded, true);
    const int height = rect.bottom - rect.top;
    DrawCaret(dc, rect.left + 6, rect.top + (height - 5) / 2, expanded, colsFonts_.groupText);
    ScopedSelectObject font(dc, groupFont_.get());
    const std::wstring caption = group ? GroupCaption(session, group.Get()) : RowText(row);
    RECT text = {rect.left + 20, rect.top, rect.right - 3, rect.bottom};
    DrawRowText(dc, caption, text, colsFonts_.groupText, DT_LEFT | DT_VCENTER);
}

void CMainBLPane::DrawHeader(HDC dc, const RECT& rect, int row)
{
    IAccSession* session = SessionOfRow(row);
    const bool switcher = settings_.idPanelStyle != 0 && sessions_.size() > 1;
    const HeaderRowLayout layout =
        LayoutHeaderRow(rect.right - rect.left, rect.bottom - rect.top, panelLine_, settings_.showMyBuddyIcon, switcher);
    if (settings_.showMyBuddyIcon) {
        ComPtr<IAccUser> self = bl::UserByName(session, bl::SessionIdentity(session));
        if (self)
            DrawBuddyIcon(dc, Offset(layout.ownIcon, rect), session, self.Get());
    }
    // The status button shows the account's own presence.
    PresenceIcons own;
    own.icon = 102;
    own.themePart = ThemePart::StatusAvailable;
    bl::CVariant away;
    if (SUCCEEDED(bl::ReadProperty(session, AccSessionProp::AwayMessage, away)) && away.Get().vt != VT_EMPTY) {
        own.icon = 100;
        own.themePart = ThemePart::StatusAway;
    }
    long state = 0;
    if (session && SUCCEEDED(session->get_State(&state)) && state != AccState::Online) {
        own.icon = 101;
        own.themePart = ThemePart::StatusOffline;
    }
    DrawPresence(dc, Offset(layout.status, rect), own);

    {
        ScopedSelectObject font(dc, panelBoldFont_.get());
        std::wstring name = bl::SessionIdentity(session);
        if (name.empty())
            name = RowText(row);
        DrawRowText(dc, name, Offset(layout.name, rect), colsFonts_.panelText, DT_LEFT | DT_VCENTER);
    }
    ScopedSelectObject font(dc, panelFont_.get());
    ComPtr<IAccBartItem> status = bl::ReadObject<IAccBartItem>(session, AccSessionProp::StatusText);
    std::wstring message = status ? bl::ReadText(status.Get(), AccBartProp::Content) : std::wstring();
    if (message.empty())
        message = LoadLangString(349);
    DrawRowText(dc, message, Offset(layout.message, rect), colsFonts_.panelStatusText, DT_LEFT | DT_VCENTER);

    // The buttons: the theme's pictures, else glyphs of the symbol font.
    auto drawButton = [&](ThemePart part, const RECT& place, const wchar_t* glyph) {
        const RECT where = Offset(place, rect);
        if (DrawThemePart(dc, part, where))
            return;
        ScopedSelectObject symbols(dc, App().symbolFont.Normal() ? static_cast<HGDIOBJ>(App().symbolFont.Normal())
                                                                  : GetStockObject(DEFAULT_GUI_FONT));
        RECT text = where;
        ::SetTextColor(dc, colsFonts_.panelText);
        DrawTextW(dc, glyph, 1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    };
    drawButton(ThemePart::ButtonSettings, layout.actions, L"6");
    if (switcher)
        drawButton(ThemePart::ButtonLinkedSn, layout.switcher, L"4");
}
