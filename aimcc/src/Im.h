// CAccIm: a message or other piece of content (away message, profile). It
// keeps its text in the MIME type it was given and converts on request.
// The layer does not sanitise HTML: everything from the network is
// untrusted, and the client's one sanitiser handles it before display.
#pragma once

#include "ComBase.h"

#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

namespace AIMCC {

class CAccIm final : public CAccObject<IAccIm> {
public:
    CAccIm(std::wstring text, std::wstring mimeType, long flags = 0);
    static Microsoft::WRL::ComPtr<CAccIm> Make(std::wstring text, std::wstring mimeType, long flags = 0);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetConvertedText(BSTR mimeType, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE SetText(BSTR text, BSTR mimeType) override;
    HRESULT STDMETHODCALLTYPE AttachStream(BSTR name, IAccStream* stream) override;

    // The text as HTML, for the wire.
    std::wstring Html() const;
    long Flags() const { return flags_; }

private:
    ~CAccIm() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;
    HRESULT PutProperty(long id, const VARIANT& value) override;

    std::wstring text_;
    std::wstring mimeType_;
    long flags_;
    SYSTEMTIME time_ = {};
    std::wstring id_;
    std::vector<std::pair<std::wstring, Microsoft::WRL::ComPtr<IAccStream>>> items_;
};

// The text of a content object (CAccIm or any IAccIm) as HTML; a plain
// BSTR is taken as HTML; VT_EMPTY gives "". False for anything else.
bool ContentToHtml(const VARIANT& value, std::wstring& html);

// Conversions between the text types the layer knows.
std::wstring PlainToHtml(std::wstring_view text);
std::wstring HtmlToPlain(std::wstring_view html);
bool IsKnownMimeType(std::wstring_view mimeType);

} // namespace AIMCC
