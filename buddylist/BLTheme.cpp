#include "BLTheme.h"

#include "AccountSettings.h"
#include "AppState.h"
#include "FontSet.h"
#include "MainWnd.h"
#include "StringConv.h"

#include <gdiplus.h>
#include <shlwapi.h>
#include <tinyxml2.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>
#include <string_view>

namespace {

constexpr wchar_t kSection[] = L"Settings.BL";
constexpr size_t kMaxThemeName = 260;
constexpr size_t kMaxPictureName = 260;
// A theme path longer than this is refused rather than handed to the file
// system half cut.
constexpr size_t kMaxThemePath = 1024;
constexpr DWORD kMaxConfigBytes = 1024 * 1024;
constexpr DWORD kMaxPictureBytes = 32 * 1024 * 1024;
constexpr UINT kMaxPictureEdge = 8192;
// Font sizes outside this range are a broken theme, not a wish.
constexpr int kMinFontPoints = 1;
constexpr int kMaxFontPoints = 72;
constexpr int kBackgroundPartCount = static_cast<int>(ThemePart::BuddySelected) + 1;

struct ColourTarget {
    const char* path;
    COLORREF BLColsFonts::*field;
};

constexpr ColourTarget kColours[] = {
    {"colors/buddylist/background/normal", &BLColsFonts::listBackground},
    {"colors/buddylist/dropshadow", &BLColsFonts::dropShadow},
    {"colors/buddylist/buddy/text/normal", &BLColsFonts::buddyText},
    {"colors/buddylist/buddy/text/idle", &BLColsFonts::idleBuddyText},
    {"colors/buddylist/buddy/text/selected", &BLColsFonts::selectedBuddyText},
    {"colors/buddylist/buddy/text/statusmsg", &BLColsFonts::statusText},
    {"colors/buddylist/buddy/text/hyperlink", &BLColsFonts::hyperlink},
    {"colors/buddylist/buddy/background/hover", &BLColsFonts::hoverBackground},
    {"colors/buddylist/buddy/background/selected", &BLColsFonts::selectedBackground},
    {"colors/buddylist/group/text/normal", &BLColsFonts::groupText},
    {"colors/buddylist/group/background/normal", &BLColsFonts::groupBackground},
    {"colors/buddylist/controlpanel/text/normal", &BLColsFonts::panelText},
    {"colors/buddylist/controlpanel/text/statusmsg", &BLColsFonts::panelStatusText},
    {"colors/buddylist/controlpanel/text/hyperlink", &BLColsFonts::panelHyperlink},
    {"colors/buddylist/controlpanel/background/normal", &BLColsFonts::panelBackground},
};

struct FontTarget {
    const char* path;
    LOGFONTW BLColsFonts::*field;
};

constexpr FontTarget kFonts[] = {
    {"fonts/buddylist/buddy", &BLColsFonts::buddyFont},
    {"fonts/buddylist/group", &BLColsFonts::groupFont},
    {"fonts/buddylist/controlpanel", &BLColsFonts::panelFont},
};

// Where each part's rectangle (and, for backgrounds, mode) sits under
// image/map, in the order of ThemePart.
constexpr const char* kPartPaths[kThemePartCount] = {
    "image/map/buddylist/background",
    "image/map/buddylist/controlpanel/background",
    "image/map/buddylist/group/background",
    "image/map/buddylist/buddy/background",
    "image/map/buddylist/buddy/hover",
    "image/map/buddylist/buddy/selected",
    "image/map/buddylist/status/available",
    "image/map/buddylist/status/away",
    "image/map/buddylist/status/idle",
    "image/map/buddylist/status/blocked",
    "image/map/buddylist/status/mobile",
    "image/map/buddylist/status/offline",
    "image/map/buddylist/buttons/settings",
    "image/map/buddylist/buttons/linkedsn",
    "image/map/buddylist/buttons/actions",
    "image/map/buddylist/buttons/sounds",
    "image/map/buddylist/buttons/mutesounds",
    "image/map/buddylist/buttons/autohide",
    "image/map/buddylist/buttons/menu",
    "image/map/buddylist/buttons/away",
};

struct ThemeRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool Empty() const { return width <= 0 || height <= 0; }
};

// The process's theme picture: the decoded picture, where each part is, and
// each part cut out on its own. Drawing from the cut-out keeps smoothing and
// tiling from reaching into the neighbouring parts of the picture.
struct ThemePicture {
    std::unique_ptr<Gdiplus::Bitmap> bitmap;
    ThemeRect rects[kThemePartCount];
    std::unique_ptr<Gdiplus::Bitmap> parts[kThemePartCount];
    ThemeMode modes[kBackgroundPartCount] = {};

    void Clear()
    {
        for (std::unique_ptr<Gdiplus::Bitmap>& part : parts)
            part.reset();
        bitmap.reset();
        for (ThemeRect& rect : rects)
            rect = ThemeRect();
        std::fill(std::begin(modes), std::end(modes), ThemeMode::Stretch);
    }
};

ThemePicture& Picture()
{
    static ThemePicture picture;
    return picture;
}

int PartIndex(ThemePart part)
{
    return static_cast<int>(part);
}

bool IsBackgroundPart(ThemePart part)
{
    return PartIndex(part) < kBackgroundPartCount;
}

std::wstring_view Trimmed(std::wstring_view text)
{
    const auto blank = [](wchar_t c) { return std::iswspace(c) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The text of the element at `path` (names separated by "/") below `root`;
// where a name stands several times at one level, the first counts.
std::optional<std::wstring> ElementText(const tinyxml2::XMLElement* root, const char* path)
{
    const tinyxml2::XMLElement* element = root;
    std::string_view rest = path;
    while (element && !rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string name(rest.substr(0, slash));
        element = element->FirstChildElement(name.c_str());
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    if (!element)
        return std::nullopt;
    const char* text = element->GetText();
    return std::wstring(Trimmed(Utf8ToWide(text ? text : "")));
}

std::optional<std::wstring> ElementText(const tinyxml2::XMLElement* root, const std::string& path)
{
    return ElementText(root, path.c_str());
}

// Up to `count` comma-separated decimal integers, as a "%d,%d,..." scan
// reads them: stops at the first one that is not a number. Returns how many
// were read. Values beyond the int range saturate.
int ScanIntegers(std::wstring_view text, int* values, int count)
{
    size_t at = 0;
    int read = 0;
    while (read < count) {
        while (at < text.size() && std::iswspace(text[at]))
            ++at;
        bool negative = false;
        if (at < text.size() && (text[at] == L'-' || text[at] == L'+'))
            negative = text[at++] == L'-';
        const size_t digitsStart = at;
        long long value = 0;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
            value = std::min<long long>(value * 10 + (text[at] - L'0'), 0x7FFFFFFFLL);
            ++at;
        }
        if (at == digitsStart)
            break;
        values[read++] = static_cast<int>(negative ? -value : value);
        while (at < text.size() && std::iswspace(text[at]))
            ++at;
        if (read < count) {
            if (at >= text.size() || text[at] != L',')
                break;
            ++at;
        }
    }
    return read;
}

// "r,g,b"; each component is held to 0-255.
std::optional<COLORREF> ParseColour(const std::wstring& text)
{
    int rgb[3] = {};
    if (ScanIntegers(text, rgb, 3) != 3)
        return std::nullopt;
    for (int& component : rgb)
        component = std::clamp(component, 0, 255);
    return RGB(rgb[0], rgb[1], rgb[2]);
}

std::optional<ThemeRect> ParseRect(const std::wstring& text)
{
    int values[4] = {};
    if (ScanIntegers(text, values, 4) != 4)
        return std::nullopt;
    return ThemeRect{values[0], values[1], values[2], values[3]};
}

// The part of `rect` that lies inside a picture of the given size; empty
// when nothing does.
ThemeRect ClipToPicture(const ThemeRect& rect, int width, int height)
{
    if (rect.Empty())
        return ThemeRect();
    const long long left = std::max<long long>(rect.x, 0);
    const long long top = std::max<long long>(rect.y, 0);
    const long long right = std::min<long long>(static_cast<long long>(rect.x) + rect.width, width);
    const long long bottom = std::min<long long>(static_cast<long long>(rect.y) + rect.height, height);
    if (right <= left || bottom <= top)
        return ThemeRect();
    return ThemeRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                     static_cast<int>(bottom - top)};
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b)
{
    return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The whole file when it exists and is at most `limit` bytes.
std::optional<std::string> ReadSmallFile(const std::wstring& path, DWORD limit)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > limit)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

// A picture name inside the theme folder: a relative path that never climbs
// out of it.
bool IsPictureName(const std::wstring& name)
{
    if (name.empty() || name.size() > kMaxPictureName || name.front() == L'\\' || name.front() == L'/')
        return false;
    if (name.find(L':') != std::wstring::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = name.size();
        const std::wstring_view part(name.data() + start, end - start);
        if (part.empty() || part == L"." || part == L"..")
            return false;
        start = end + 1;
    }
    return std::none_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x20; });
}

void ApplyColours(const tinyxml2::XMLElement* root, BLColsFonts& colsFonts)
{
    for (const ColourTarget& target : kColours) {
        const std::optional<std::wstring> text = ElementText(root, target.path);
        if (!text)
            continue;
        if (const std::optional<COLORREF> colour = ParseColour(*text))
            colsFonts.*target.field = *colour;
    }
}

void ApplyFonts(const tinyxml2::XMLElement* root, BLColsFonts& colsFonts)
{
    ScopedWindowDC screen(nullptr);
    const int dpiY = GetDeviceCaps(screen.get(), LOGPIXELSY);
    for (const FontTarget& target : kFonts) {
        const std::string base = target.path;
        const std::optional<std::wstring> face = ElementText(root, base + "/name");
        const std::optional<std::wstring> size = ElementText(root, base + "/size");
        if (!face || face->empty() || !size)
            continue;
        int points = 0;
        if (ScanIntegers(*size, &points, 1) != 1 || points < kMinFontPoints || points > kMaxFontPoints)
            continue;
        LOGFONTW font = UiFontDescription();
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfHeight = -MulDiv(points, dpiY, 72);
        if (!EqualsNoCase(*face, L"default"))
            lstrcpynW(font.lfFaceName, face->c_str(), LF_FACESIZE);
        colsFonts.*target.field = font;
    }
}

// Decodes a picture file into a bitmap of its own (the file is not kept
// open). Null when it is no picture GDI+ reads or it is unreasonably large.
std::unique_ptr<Gdiplus::Bitmap> DecodePicture(const std::wstring& path)
{
    const std::optional<std::string> bytes = ReadSmallFile(path, kMaxPictureBytes);
    if (!bytes || bytes->empty())
        return nullptr;
    Microsoft::WRL::ComPtr<IStream> stream;
    *stream.ReleaseAndGetAddressOf() =
        SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes->data()), static_cast<UINT>(bytes->size()));
    if (!stream)
        return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream.Get()));
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    const UINT width = decoded->GetWidth();
    const UINT height = decoded->GetHeight();
    if (width == 0 || height == 0 || width > kMaxPictureEdge || height > kMaxPictureEdge)
        return nullptr;
    auto copy = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                  PixelFormat32bppPARGB);
    if (copy->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::Graphics graphics(copy.get());
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    if (graphics.DrawImage(decoded.get(), 0, 0, static_cast<INT>(width), static_cast<INT>(height)) != Gdiplus::Ok)
        return nullptr;
    return copy;
}

void ReadPictureMap(const tinyxml2::XMLElement* root, ThemePicture& picture)
{
    const int width = static_cast<int>(picture.bitmap->GetWidth());
    const int height = static_cast<int>(picture.bitmap->GetHeight());
    for (int i = 0; i < kThemePartCount; ++i) {
        const std::string base = kPartPaths[i];
        if (i < kBackgroundPartCount) {
            if (const std::optional<std::wstring> mode = ElementText(root, base + "/mode")) {
                if (EqualsNoCase(*mode, L"tile"))
                    picture.modes[i] = ThemeMode::Tile;
                else if (EqualsNoCase(*mode, L"stretch"))
                    picture.modes[i] = ThemeMode::Stretch;
            }
        }
        if (const std::optional<std::wstring> text = ElementText(root, base + "/rect")) {
            if (const std::optional<ThemeRect> rect = ParseRect(*text))
                picture.rects[i] = ClipToPicture(*rect, width, height);
        }
        const ThemeRect& rect = picture.rects[i];
        if (rect.Empty())
            continue;
        picture.parts[i].reset(picture.bitmap->Clone(Gdiplus::Rect(rect.x, rect.y, rect.width, rect.height),
                                                     PixelFormat32bppPARGB));
        if (!picture.parts[i] || picture.parts[i]->GetLastStatus() != Gdiplus::Ok) {
            picture.parts[i].reset();
            picture.rects[i] = ThemeRect();
        }
    }
}

void LoadPicture(const tinyxml2::XMLElement* root, const std::wstring& themeFolder)
{
    ThemePicture& picture = Picture();
    picture.Clear();
    const std::optional<std::wstring> name = ElementText(root, "image/name");
    if (!name || !IsPictureName(*name))
        return;
    const std::wstring path = themeFolder + *name;
    if (path.size() > kMaxThemePath || !IsFile(path))
        return;
    picture.bitmap = DecodePicture(path);
    if (picture.bitmap)
        ReadPictureMap(root, picture);
}

void RefreshMainWindow()
{
    if (CMainWnd* main = MainWindow())
        main->RefreshBackground();
}

const ThemeRect* LoadedRect(ThemePart part)
{
    const ThemePicture& picture = Picture();
    const int index = PartIndex(part);
    if (!picture.bitmap || index < 0 || index >= kThemePartCount || !picture.parts[index])
        return nullptr;
    return &picture.rects[index];
}

Gdiplus::Bitmap* PartPicture(ThemePart part)
{
    return Picture().parts[PartIndex(part)].get();
}

// Draws a part scaled into `dest`. The wrap mode mirrors the part at its
// edges, so smoothing there does not fade into nothing.
Gdiplus::Status DrawScaled(Gdiplus::Graphics& graphics, ThemePart part, const Gdiplus::Rect& dest)
{
    Gdiplus::Bitmap* source = PartPicture(part);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    Gdiplus::ImageAttributes attributes;
    attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    return graphics.DrawImage(source, dest, 0, 0, static_cast<INT>(source->GetWidth()),
                              static_cast<INT>(source->GetHeight()), Gdiplus::UnitPixel, &attributes);
}

} // namespace

bool IsThemeFolderName(const std::wstring& name)
{
    if (name.empty() || name.size() > kMaxThemeName)
        return false;
    if (name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos)
        return false;
    if (std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x20; }))
        return false;
    // "." and ".." (and the like, which Windows reads as them) are no folder
    // below "Themes\App\".
    return name.find_first_not_of(L'.') != std::wstring::npos;
}

std::wstring BuddyListThemesFolder()
{
    const std::wstring data = DataFolder();
    return data.empty() ? std::wstring() : data + L"Themes\\App\\";
}

std::vector<std::wstring> ListBuddyListThemes()
{
    std::vector<std::wstring> names;
    const std::wstring folder = BuddyListThemesFolder();
    if (folder.empty())
        return names;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsThemeFolderName(name) &&
            IsFile(folder + name + L"\\config.xml"))
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    return names;
}

void LoadBuddyListTheme(const std::wstring& screenName, BLColsFonts& colsFonts)
{
    const CIni& ini = Settings();
    std::wstring name = ReadAccountString(ini, kSection, screenName, L"Theme", L"");
    const bool useColours = ReadAccountBool(ini, kSection, screenName, L"UseThemeCols", false);
    const bool useFonts = ReadAccountBool(ini, kSection, screenName, L"UseThemeFonts", false);
    const bool useImage = ReadAccountBool(ini, kSection, screenName, L"UseThemeImage", false);

    // Whatever happens below, the picture of an earlier theme must not stay:
    // it is loaded again only from this theme.
    Picture().Clear();
    const std::wstring themes = BuddyListThemesFolder();
    const std::wstring folder = themes + name + L"\\";
    const std::wstring configPath = folder + L"config.xml";
    std::optional<std::string> config;
    if (!name.empty() && !themes.empty() && IsThemeFolderName(name) && configPath.size() <= kMaxThemePath)
        config = ReadSmallFile(configPath, kMaxConfigBytes);
    tinyxml2::XMLDocument document;
    const tinyxml2::XMLElement* root = nullptr;
    if (config && document.Parse(config->data(), config->size()) == tinyxml2::XML_SUCCESS) {
        root = document.RootElement();
        if (root && std::string_view(root->Name()) != "theme")
            root = nullptr;
    }
    if (root) {
        if (useColours)
            ApplyColours(root, colsFonts);
        if (useFonts)
            ApplyFonts(root, colsFonts);
        if (useImage)
            LoadPicture(root, folder);
    }
    RefreshMainWindow();
}

bool ThemePictureLoaded()
{
    return Picture().bitmap != nullptr;
}

bool ThemePartRect(ThemePart part, RECT& rect)
{
    const ThemeRect* source = LoadedRect(part);
    if (!source)
        return false;
    rect = {source->x, source->y, source->x + source->width, source->y + source->height};
    return true;
}

ThemeMode ThemePartMode(ThemePart part)
{
    return IsBackgroundPart(part) ? Picture().modes[PartIndex(part)] : ThemeMode::Stretch;
}

bool DrawThemePart(HDC dc, ThemePart part, const RECT& dest)
{
    const ThemeRect* source = LoadedRect(part);
    if (!source || !dc || dest.right <= dest.left || dest.bottom <= dest.top)
        return false;
    Gdiplus::Graphics graphics(dc);
    if (graphics.GetLastStatus() != Gdiplus::Ok)
        return false;
    const Gdiplus::Rect target(dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top);
    if (IsBackgroundPart(part) && ThemePartMode(part) == ThemeMode::Tile) {
        Gdiplus::TextureBrush brush(PartPicture(part), Gdiplus::WrapModeTile);
        if (brush.GetLastStatus() != Gdiplus::Ok)
            return false;
        brush.TranslateTransform(static_cast<Gdiplus::REAL>(dest.left), static_cast<Gdiplus::REAL>(dest.top));
        return graphics.FillRectangle(&brush, target) == Gdiplus::Ok;
    }
    return DrawScaled(graphics, part, target) == Gdiplus::Ok;
}

HICON CutThemeIcon(ThemePart part)
{
    if (!LoadedRect(part))
        return nullptr;
    Gdiplus::Bitmap icon(16, 16, PixelFormat32bppARGB);
    if (icon.GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    {
        Gdiplus::Graphics graphics(&icon);
        graphics.Clear(Gdiplus::Color(0, 255, 255, 255));
        if (DrawScaled(graphics, part, Gdiplus::Rect(0, 0, 16, 16)) != Gdiplus::Ok)
            return nullptr;
    }
    HICON handle = nullptr;
    return icon.GetHICON(&handle) == Gdiplus::Ok ? handle : nullptr;
}

void ReleaseThemePicture()
{
    Picture().Clear();
}
