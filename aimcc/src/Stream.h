// CAccStream: the bytes of a file (opened by the session for attaching to a
// message) behind IAccStream. It keeps the system's file stream and only
// translates the calls.
#pragma once

#include "ComBase.h"

#include <objidl.h>
#include <wrl/client.h>

namespace AIMCC {

class CAccStream final : public CAccObject<IAccStream> {
public:
    // Opens an existing file for reading.
    static HRESULT OpenFile(const wchar_t* path, IAccStream** stream);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Seek(LONGLONG offset, DWORD origin, ULONGLONG* position) override;
    HRESULT STDMETHODCALLTYPE get_Size(ULONGLONG* size) override;
    HRESULT STDMETHODCALLTYPE get_Position(ULONGLONG* position) override;
    HRESULT STDMETHODCALLTYPE get_StartPosition(ULONGLONG* position) override;

private:
    explicit CAccStream(Microsoft::WRL::ComPtr<IStream> stream) : stream_(std::move(stream)) {}
    ~CAccStream() override = default;
    HRESULT GetProperty(long id, VARIANT* value) override;

    Microsoft::WRL::ComPtr<IStream> stream_;
};

} // namespace AIMCC
