#include "AccValues.h"

#include "ComTypes.h"

bool ReadLong(AIMCC::IAccObject* object, long property, long& number)
{
    ScopedVariant value;
    ScopedVariant converted;
    if (!object || object->get_Property(property, value.Receive()) != S_OK
        || FAILED(VariantChangeType(converted.Receive(), value.get(), 0, VT_I4)))
        return false;
    number = converted.value().lVal;
    return true;
}

long LongOr(AIMCC::IAccObject* object, long property, long def)
{
    long number = def;
    return ReadLong(object, property, number) ? number : def;
}

std::wstring ReadText(AIMCC::IAccObject* object, long property)
{
    ScopedVariant value;
    ScopedVariant converted;
    if (!object || FAILED(object->get_Property(property, value.Receive()))
        || FAILED(VariantChangeType(converted.Receive(), value.get(), 0, VT_BSTR)) || !converted.value().bstrVal)
        return {};
    return std::wstring(converted.value().bstrVal, SysStringLen(converted.value().bstrVal));
}

HRESULT PutText(AIMCC::IAccObject* object, long property, const wchar_t* text)
{
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(text);
    if (!value.bstrVal)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->put_Property(property, value);
    VariantClear(&value);
    return hr;
}

HRESULT PutLong(AIMCC::IAccObject* object, long property, long number)
{
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = number;
    return object->put_Property(property, value);
}

HRESULT PutBool(AIMCC::IAccObject* object, long property, bool flag)
{
    VARIANT value;
    value.vt = VT_BOOL;
    value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return object->put_Property(property, value);
}

HRESULT PutEmpty(AIMCC::IAccObject* object, long property)
{
    VARIANT value;
    VariantInit(&value);
    return object->put_Property(property, value);
}
