// What the server's error codes mean to the client: each OSCAR code maps to
// one result of AccCore.h's catalogue, so that the client's messages follow.
#pragma once

#include <windows.h>

#include <cstdint>

namespace AIMCC {

// TLV 0x0008 of a refused login (or of a signoff during sign-on).
HRESULT LoginErrorResult(uint16_t code);
// The code of an ICBM error (04,01) for a message that could not be sent.
HRESULT MessageErrorResult(uint16_t code);
// One status code of a buddy-list edit (13,0E).
HRESULT FeedbagStatusResult(uint16_t code);
// The reason TLV of a signoff frame on an established connection.
HRESULT SignoffResult(uint16_t reason);

} // namespace AIMCC
