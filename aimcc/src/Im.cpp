#include "Im.h"

#include <shlwapi.h>

#include <atomic>

namespace AIMCC {

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kHtml[] = L"text/html";
const wchar_t kXhtml[] = L"application/xhtml+xml";
const wchar_t kPlain[] = L"text/plain";
const wchar_t kRtf[] = L"text/x-aolrtf";

bool SameType(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size()
        && CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE)
        == CSTR_EQUAL;
}

bool IsPlain(std::wstring_view mimeType)
{
    return SameType(mimeType, kPlain);
}

// Unique within the process: the client uses it as an HTML element id.
std::wstring NextMessageId()
{
    static std::atomic<unsigned long> counter{0};
    return L"accmsg" + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(++counter);
}

} // namespace

bool IsKnownMimeType(std::wstring_view mimeType)
{
    return SameType(mimeType, kHtml) || SameType(mimeType, kXhtml) || SameType(mimeType, kPlain)
        || SameType(mimeType, kRtf);
}

std::wstring PlainToHtml(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        case L'\r':
            if (i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            out += L"<br>";
            break;
        case L'\n': out += L"<br>"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::wstring HtmlToPlain(std::wstring_view html)
{
    static const struct {
        const wchar_t* name;
        wchar_t c;
    } kEntities[] = {{L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}, {L"nbsp", L' '}};
    std::wstring out;
    size_t i = 0;
    while (i < html.size()) {
        wchar_t c = html[i];
        if (c == L'<') {
            size_t end = html.find(L'>', i);
            if (end == std::wstring_view::npos)
                break;
            std::wstring_view tag = html.substr(i + 1, end - i - 1);
            // A line break stays a line break in plain text.
            if (tag.size() >= 2 && (tag[0] == L'b' || tag[0] == L'B') && (tag[1] == L'r' || tag[1] == L'R')
                && (tag.size() == 2 || tag[2] == L' ' || tag[2] == L'/'))
                out += L"\r\n";
            i = end + 1;
            continue;
        }
        if (c == L'&') {
            size_t end = html.find(L';', i);
            if (end != std::wstring_view::npos && end - i <= 8) {
                std::wstring_view name = html.substr(i + 1, end - i - 1);
                bool done = false;
                if (!name.empty() && name[0] == L'#') {
                    bool hex = name.size() > 1 && (name[1] == L'x' || name[1] == L'X');
                    std::wstring digits(name.substr(hex ? 2 : 1));
                    wchar_t* stop = nullptr;
                    unsigned long code = wcstoul(digits.c_str(), &stop, hex ? 16 : 10);
                    if (!digits.empty() && stop && *stop == 0 && code > 0 && code < 0x10000) {
                        out += static_cast<wchar_t>(code);
                        done = true;
                    }
                } else {
                    for (const auto& entity : kEntities) {
                        if (SameType(name, entity.name)) {
                            out += entity.c;
                            done = true;
                            break;
                        }
                    }
                }
                if (done) {
                    i = end + 1;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

CAccIm::CAccIm(std::wstring text, std::wstring mimeType, long flags)
    : text_(std::move(text)), mimeType_(std::move(mimeType)), flags_(flags), id_(NextMessageId())
{
    GetLocalTime(&time_);
}

ComPtr<CAccIm> CAccIm::Make(std::wstring text, std::wstring mimeType, long flags)
{
    ComPtr<CAccIm> im;
    *im.ReleaseAndGetAddressOf() = new CAccIm(std::move(text), std::move(mimeType), flags);
    return im;
}

HRESULT STDMETHODCALLTYPE CAccIm::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccIm, IAccIm), {}};
    return QISearch(this, table, riid, object);
}

std::wstring CAccIm::Html() const
{
    return IsPlain(mimeType_) ? PlainToHtml(text_) : text_;
}

HRESULT STDMETHODCALLTYPE CAccIm::GetConvertedText(BSTR mimeType, BSTR* text)
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    return ComBoundary([&]() -> HRESULT {
        std::wstring_view type = BstrView(mimeType);
        if (!IsKnownMimeType(type))
            return E_INVALIDARG;
        if (IsPlain(type))
            return CopyToBstr(IsPlain(mimeType_) ? text_ : HtmlToPlain(text_), text);
        return CopyToBstr(Html(), text);
    });
}

HRESULT STDMETHODCALLTYPE CAccIm::SetText(BSTR text, BSTR mimeType)
{
    return ComBoundary([&]() -> HRESULT {
        std::wstring_view type = BstrView(mimeType);
        if (!type.empty() && !IsKnownMimeType(type))
            return E_INVALIDARG;
        text_.assign(BstrView(text));
        mimeType_.assign(type.empty() ? std::wstring_view(kHtml) : type);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CAccIm::AttachStream(BSTR name, IAccStream* stream)
{
    if (!stream)
        return E_POINTER;
    return ComBoundary([&]() -> HRESULT {
        items_.emplace_back(std::wstring(BstrView(name)), stream);
        return S_OK;
    });
}

HRESULT CAccIm::GetProperty(long id, VARIANT* value)
{
    switch (id) {
    case AccImProp::Flags:
        return CVariant::Int(flags_).CopyTo(value);
    case AccImProp::Time:
        return CVariant::Date(time_).CopyTo(value);
    case AccImProp::Secure:
        return CVariant::Bool(false).CopyTo(value);
    case AccImProp::Id:
        return CVariant::Text(id_).CopyTo(value);
    case AccImProp::ItemCount:
        return CVariant::Int(static_cast<long>(items_.size())).CopyTo(value);
    case AccImProp::EmbeddedFlags:
        return CVariant::Int(0).CopyTo(value);
    case AccImProp::Sound:
        return S_OK;
    case AccImProp::MimeType:
        return CVariant::Text(mimeType_).CopyTo(value);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CAccIm::PutProperty(long id, const VARIANT& value)
{
    if (id != AccImProp::Flags)
        return CAccObject::PutProperty(id, value);
    long flags = 0;
    if (!VariantToLong(value, flags))
        return DISP_E_TYPEMISMATCH;
    flags_ = flags;
    return S_OK;
}

bool ContentToHtml(const VARIANT& value, std::wstring& html)
{
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) {
        html.clear();
        return true;
    }
    if (value.vt == VT_BSTR) {
        html.assign(BstrView(value.bstrVal));
        return true;
    }
    if (value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN)
        return false;
    IUnknown* unknown = value.vt == VT_DISPATCH ? value.pdispVal : value.punkVal;
    if (!unknown) {
        html.clear();
        return true;
    }
    ComPtr<IAccIm> im;
    if (FAILED(unknown->QueryInterface(IID_PPV_ARGS(&im))))
        return false;
    BSTR type = SysAllocString(kHtml);
    BSTR text = nullptr;
    HRESULT hr = type ? im->GetConvertedText(type, &text) : E_OUTOFMEMORY;
    SysFreeString(type);
    if (FAILED(hr))
        return false;
    html.assign(BstrView(text));
    SysFreeString(text);
    return true;
}

} // namespace AIMCC
