// CAccBartItem: an expression item (buddy icon, status text or link, sound,
// wallpaper, smiley set). Items whose value the server sends inline (status
// text and link) carry it in property 6; items whose data would have to be
// downloaded answer ACC_E_PENDING for their data until it has been fetched.
// Downloading item data is not part of this build: a request for it is
// answered (event 120) with E_NOTIMPL.
#pragma once

#include "ComBase.h"

#include <wrl/client.h>

#include <string>

namespace AIMCC {

class CAccSession;

class CAccBartItem final : public CAccObject<IAccBartItem> {
public:
    CAccBartItem(CAccSession* session, long type, std::wstring id, std::wstring content);
    static Microsoft::WRL::ComPtr<CAccBartItem> Make(CAccSession* session, long type, std::wstring id,
                                                     std::wstring content);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE Load() override;
    HRESULT STDMETHODCALLTYPE get_ChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE GetChild(long index, IAccBartItem** child) override;

    void Detach() { session_ = nullptr; }

private:
    ~CAccBartItem() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;
    HRESULT StartRequest(long id, long* requestId) override;
    bool HasInlineContent() const;

    CAccSession* session_;
    long type_;
    std::wstring id_;
    std::wstring content_;
};

} // namespace AIMCC
