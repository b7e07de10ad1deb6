// TLVs (u16 tag, u16 length, value) and the three ways OSCAR packs a list of
// them: a rest-block that runs to the end of its container, a counted block
// (u16 number of TLVs first) and a sized block (u16 byte length first).
//
// A tag may repeat; lookups take the first occurrence, and the list keeps
// every TLV in wire order so that a relay can pass unknown ones on untouched.
#pragma once

#include "ByteStream.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oscar {

struct Tlv {
    uint16_t tag = 0;
    Bytes value;
};

class TlvList {
public:
    std::vector<Tlv> items;

    bool Empty() const { return items.empty(); }
    size_t Size() const { return items.size(); }

    TlvList& Add(uint16_t tag, Bytes value);
    TlvList& AddEmpty(uint16_t tag) { return Add(tag, {}); }
    TlvList& AddU8(uint16_t tag, uint8_t v);
    TlvList& AddU16(uint16_t tag, uint16_t v);
    TlvList& AddU32(uint16_t tag, uint32_t v);
    TlvList& AddString(uint16_t tag, std::string_view v);
    // Replaces the first TLV with this tag (dropping later repeats), or adds it.
    TlvList& Set(uint16_t tag, Bytes value);
    void Remove(uint16_t tag);

    const Tlv* Find(uint16_t tag) const;
    bool Has(uint16_t tag) const { return Find(tag) != nullptr; }
    // Typed reads of the first TLV with the tag. A TLV whose length does not
    // fit the type reads as absent.
    std::optional<uint8_t> U8(uint16_t tag) const;
    std::optional<uint16_t> U16(uint16_t tag) const;
    std::optional<uint32_t> U32(uint16_t tag) const;
    std::optional<std::string> String(uint16_t tag) const;
    // u8 or u16, for the few TLVs that servers send in either width.
    std::optional<uint16_t> U8OrU16(uint16_t tag) const;
};

// Readers: each consumes its container and fails the reader on a TLV that
// runs past the end (or, for the blocks, a count or size that does).
TlvList ReadTlvRest(ByteReader& r);
TlvList ReadTlvCounted(ByteReader& r);
TlvList ReadTlvSized(ByteReader& r);

void WriteTlv(ByteWriter& w, const Tlv& tlv);
void WriteTlvRest(ByteWriter& w, const TlvList& list);
void WriteTlvCounted(ByteWriter& w, const TlvList& list);
void WriteTlvSized(ByteWriter& w, const TlvList& list);

Bytes U16Bytes(uint16_t v);
Bytes U32Bytes(uint32_t v);

} // namespace oscar
