// Reading and writing the numbered properties of the AIM layer's objects as
// plain values: every caller converts the layer's variants the same way.
#pragma once

#include "AccCore.h"

#include <string>

// The property as a number; false when it has none or is no number.
bool ReadLong(AIMCC::IAccObject* object, long property, long& number);
long LongOr(AIMCC::IAccObject* object, long property, long def);
// The property as text; empty when it has none.
std::wstring ReadText(AIMCC::IAccObject* object, long property);

HRESULT PutText(AIMCC::IAccObject* object, long property, const wchar_t* text);
HRESULT PutLong(AIMCC::IAccObject* object, long property, long number);
HRESULT PutBool(AIMCC::IAccObject* object, long property, bool flag);
HRESULT PutEmpty(AIMCC::IAccObject* object, long property);
