#include "Variant.h"

namespace AIMCC {

CVariant CVariant::Int(long value)
{
    CVariant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
}

CVariant CVariant::Bool(bool value)
{
    CVariant v;
    v.v_.vt = VT_BOOL;
    v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

CVariant CVariant::Text(std::wstring_view text)
{
    CVariant v;
    BSTR s = MakeBstr(text);
    if (s) {
        v.v_.vt = VT_BSTR;
        v.v_.bstrVal = s;
    }
    return v;
}

CVariant CVariant::Object(IDispatch* object)
{
    CVariant v;
    v.v_.vt = VT_DISPATCH;
    v.v_.pdispVal = object;
    if (object)
        object->AddRef();
    return v;
}

CVariant CVariant::Date(const SYSTEMTIME& time)
{
    CVariant v;
    DATE date = 0;
    if (SystemTimeToVariantTime(const_cast<SYSTEMTIME*>(&time), &date)) {
        v.v_.vt = VT_DATE;
        v.v_.date = date;
    }
    return v;
}

namespace {

// A one-dimensional VT_VARIANT array filled from `count` CVariants.
template <typename MakeElement>
CVariant VariantArray(size_t count, MakeElement make)
{
    CVariant result;
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count));
    if (!array)
        return result;
    for (size_t i = 0; i < count; ++i) {
        CVariant element = make(i);
        LONG index = static_cast<LONG>(i);
        if (FAILED(SafeArrayPutElement(array, &index, const_cast<VARIANT*>(&element.Get())))) {
            SafeArrayDestroy(array);
            return result;
        }
    }
    VARIANT* out = result.Out();
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array;
    return result;
}

} // namespace

CVariant CVariant::TextArray(const std::vector<std::wstring>& texts)
{
    return VariantArray(texts.size(), [&](size_t i) { return Text(texts[i]); });
}

CVariant CVariant::ObjectArray(const std::vector<IDispatch*>& objects)
{
    return VariantArray(objects.size(), [&](size_t i) { return Object(objects[i]); });
}

HRESULT CVariant::CopyTo(VARIANT* out) const
{
    if (!out)
        return E_POINTER;
    VariantInit(out);
    return VariantCopy(out, const_cast<VARIANT*>(&v_));
}

bool VariantToText(const VARIANT& value, std::wstring& text)
{
    if (value.vt == VT_BSTR) {
        text.assign(BstrView(value.bstrVal));
        return true;
    }
    CVariant converted;
    if (FAILED(VariantChangeType(converted.Out(), const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        return false;
    text.assign(BstrView(converted.Get().bstrVal));
    return true;
}

bool VariantToLong(const VARIANT& value, long& number)
{
    if (value.vt == VT_I4) {
        number = value.lVal;
        return true;
    }
    CVariant converted;
    if (FAILED(VariantChangeTypeEx(converted.Out(), const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, VT_I4)))
        return false;
    number = converted.Get().lVal;
    return true;
}

bool VariantToBool(const VARIANT& value, bool& flag)
{
    if (value.vt == VT_BOOL) {
        flag = value.boolVal != VARIANT_FALSE;
        return true;
    }
    CVariant converted;
    if (FAILED(VariantChangeTypeEx(converted.Out(), const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, VT_BOOL)))
        return false;
    flag = converted.Get().boolVal != VARIANT_FALSE;
    return true;
}

BSTR MakeBstr(std::wstring_view text)
{
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

HRESULT CopyToBstr(std::wstring_view text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = MakeBstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace AIMCC
