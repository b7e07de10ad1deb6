// A buddy with expression items, and a message, as the AIM layer hands
// them to a conversation view: plain in-process objects with the layer's interfaces
// and numbered properties set by the test.
#pragma once

#include "AccCore.h"

#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace expression_fake {

using Microsoft::WRL::ComPtr;

// IUnknown, IDispatch (unused) and the numbered properties of IAccObject.
template <typename Interface>
class Object : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(AIMCC::IAccObject) ||
            iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (!left)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_Property(long id, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        if (const auto text = texts.find(id); text != texts.end()) {
            value->vt = VT_BSTR;
            value->bstrVal = SysAllocStringLen(text->second.data(), static_cast<UINT>(text->second.size()));
            return S_OK;
        }
        if (const auto flag = flags.find(id); flag != flags.end()) {
            value->vt = VT_BOOL;
            value->boolVal = flag->second ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
        if (const auto list = arrays.find(id); list != arrays.end()) {
            SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(list->second.size()));
            for (LONG i = 0; i < static_cast<LONG>(list->second.size()); ++i) {
                BSTR text = SysAllocString(list->second[static_cast<size_t>(i)].c_str());
                SafeArrayPutElement(array, &i, text);
                SysFreeString(text);
            }
            value->vt = VT_ARRAY | VT_BSTR;
            value->parray = array;
            return S_OK;
        }
        if (const auto object = objects.find(id); object != objects.end()) {
            value->vt = VT_DISPATCH;
            return object->second.CopyTo(IID_IDispatch, reinterpret_cast<void**>(&value->pdispVal));
        }
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE put_Property(long, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestProperty(long, long*) override { return E_NOTIMPL; }

    std::map<long, std::wstring> texts;
    std::map<long, bool> flags;
    std::map<long, ComPtr<IUnknown>> objects;
    // Text arrays, handed out as arrays of BSTRs.
    std::map<long, std::vector<std::wstring>> arrays;

protected:
    virtual ~Object() = default;

private:
    ULONG refs_ = 1;
};

class Stream : public Object<AIMCC::IAccStream> {
public:
    explicit Stream(std::string bytes) : bytes_(std::move(bytes)) {}
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override
    {
        const ULONG count = static_cast<ULONG>(std::min<size_t>(size, bytes_.size() - at_));
        memcpy(buffer, bytes_.data() + at_, count);
        at_ += count;
        if (read)
            *read = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LONGLONG, DWORD, ULONGLONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Size(ULONGLONG* size) override
    {
        *size = bytes_.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Position(ULONGLONG* position) override
    {
        *position = at_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_StartPosition(ULONGLONG* position) override
    {
        *position = 0;
        return S_OK;
    }

private:
    std::string bytes_;
    size_t at_ = 0;
};

class Item : public Object<AIMCC::IAccBartItem> {
public:
    HRESULT STDMETHODCALLTYPE Load() override { return loads ? S_OK : E_FAIL; }
    HRESULT STDMETHODCALLTYPE get_ChildCount(long* count) override
    {
        *count = static_cast<long>(children.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChild(long index, AIMCC::IAccBartItem** child) override
    {
        if (index < 0 || static_cast<size_t>(index) >= children.size())
            return E_INVALIDARG;
        return children[static_cast<size_t>(index)].CopyTo(child);
    }

    // A child item (a smiley of a set) with its picture and shortcuts.
    Item* AddSmiley(const std::wstring& picture, const std::vector<std::wstring>& shortcuts)
    {
        ComPtr<Item> child;
        *child.ReleaseAndGetAddressOf() = new Item();
        if (!picture.empty())
            child->texts[AIMCC::AccBartProp::SmileyPicture] = picture;
        child->arrays[AIMCC::AccBartProp::SmileyShortcuts] = shortcuts;
        children.push_back(child);
        return child.Get();
    }

    std::vector<ComPtr<Item>> children;
    bool loads = true;
};

class User : public Object<AIMCC::IAccUser> {
public:
    HRESULT STDMETHODCALLTYPE get_GroupCount(long* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGroup(long, AIMCC::IAccGroup**) override { return E_INVALIDARG; }

    // Gives the user an expression item with a cached file and an id.
    Item* AddItem(long property, const std::wstring& path, const std::wstring& id = L"0A0B0C")
    {
        ComPtr<Item> item;
        *item.ReleaseAndGetAddressOf() = new Item();
        item->texts[AIMCC::AccBartProp::Id] = id;
        if (!path.empty())
            item->texts[AIMCC::AccBartProp::Path] = path;
        objects[property] = item;
        return item.Get();
    }
};

class Message : public Object<AIMCC::IAccIm> {
public:
    HRESULT STDMETHODCALLTYPE get_Property(long id, VARIANT* value) override
    {
        if (id == AIMCC::AccImProp::Time && hasTime) {
            VariantInit(value);
            value->vt = VT_DATE;
            value->date = time;
            return S_OK;
        }
        if (id == AIMCC::AccImProp::Flags) {
            VariantInit(value);
            value->vt = VT_I4;
            value->lVal = static_cast<LONG>(messageFlags);
            return S_OK;
        }
        return Object<AIMCC::IAccIm>::get_Property(id, value);
    }
    HRESULT STDMETHODCALLTYPE GetConvertedText(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetText(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AttachStream(BSTR, AIMCC::IAccStream*) override { return E_NOTIMPL; }

    bool hasTime = false;
    DATE time = 0;
    ULONG messageFlags = 0;
};

} // namespace expression_fake
