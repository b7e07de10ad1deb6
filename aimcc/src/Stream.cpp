#include "Stream.h"

#include <shlwapi.h>

#include <new>

namespace AIMCC {

using Microsoft::WRL::ComPtr;

HRESULT CAccStream::OpenFile(const wchar_t* path, IAccStream** stream)
{
    if (!stream)
        return E_POINTER;
    *stream = nullptr;
    if (!path || !*path)
        return E_INVALIDARG;
    ComPtr<IStream> file;
    HRESULT hr = SHCreateStreamOnFileEx(path, STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL, FALSE,
                                        nullptr, &file);
    if (FAILED(hr))
        return hr;
    auto* created = new (std::nothrow) CAccStream(file);
    if (!created)
        return E_OUTOFMEMORY;
    *stream = created;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccStream::QueryInterface(REFIID riid, void** object)
{
    static const QITAB table[] = {AIMCC_QI_ENTRIES(CAccStream, IAccStream), {}};
    return QISearch(this, table, riid, object);
}

HRESULT STDMETHODCALLTYPE CAccStream::Read(void* buffer, ULONG size, ULONG* read)
{
    if (!buffer && size)
        return E_POINTER;
    return stream_->Read(buffer, size, read);
}

HRESULT STDMETHODCALLTYPE CAccStream::Write(const void*, ULONG, ULONG* written)
{
    if (written)
        *written = 0;
    return STG_E_ACCESSDENIED;
}

HRESULT STDMETHODCALLTYPE CAccStream::Seek(LONGLONG offset, DWORD origin, ULONGLONG* position)
{
    if (origin > STREAM_SEEK_END)
        return E_INVALIDARG;
    LARGE_INTEGER move = {};
    move.QuadPart = offset;
    ULARGE_INTEGER now = {};
    HRESULT hr = stream_->Seek(move, origin, &now);
    if (SUCCEEDED(hr) && position)
        *position = now.QuadPart;
    return hr;
}

HRESULT STDMETHODCALLTYPE CAccStream::get_Size(ULONGLONG* size)
{
    if (!size)
        return E_POINTER;
    STATSTG stat = {};
    HRESULT hr = stream_->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr))
        return hr;
    *size = stat.cbSize.QuadPart;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CAccStream::get_Position(ULONGLONG* position)
{
    if (!position)
        return E_POINTER;
    return Seek(0, STREAM_SEEK_CUR, position);
}

HRESULT STDMETHODCALLTYPE CAccStream::get_StartPosition(ULONGLONG* position)
{
    if (!position)
        return E_POINTER;
    *position = 0;
    return S_OK;
}

HRESULT CAccStream::GetProperty(long, VARIANT*)
{
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace AIMCC
