#include "Tlv.h"

#include <algorithm>

namespace oscar {

TlvList& TlvList::Add(uint16_t tag, Bytes value)
{
    items.push_back(Tlv{tag, std::move(value)});
    return *this;
}

TlvList& TlvList::AddU8(uint16_t tag, uint8_t v)
{
    return Add(tag, Bytes{v});
}

TlvList& TlvList::AddU16(uint16_t tag, uint16_t v)
{
    return Add(tag, U16Bytes(v));
}

TlvList& TlvList::AddU32(uint16_t tag, uint32_t v)
{
    return Add(tag, U32Bytes(v));
}

TlvList& TlvList::AddString(uint16_t tag, std::string_view v)
{
    return Add(tag, Bytes(v.begin(), v.end()));
}

TlvList& TlvList::Set(uint16_t tag, Bytes value)
{
    auto first = std::find_if(items.begin(), items.end(), [tag](const Tlv& t) { return t.tag == tag; });
    if (first == items.end())
        return Add(tag, std::move(value));
    first->value = std::move(value);
    items.erase(std::remove_if(first + 1, items.end(), [tag](const Tlv& t) { return t.tag == tag; }), items.end());
    return *this;
}

void TlvList::Remove(uint16_t tag)
{
    items.erase(std::remove_if(items.begin(), items.end(), [tag](const Tlv& t) { return t.tag == tag; }),
                items.end());
}

const Tlv* TlvList::Find(uint16_t tag) const
{
    for (const Tlv& t : items)
        if (t.tag == tag)
            return &t;
    return nullptr;
}

std::optional<uint8_t> TlvList::U8(uint16_t tag) const
{
    const Tlv* t = Find(tag);
    if (!t || t->value.size() != 1)
        return std::nullopt;
    return t->value[0];
}

std::optional<uint16_t> TlvList::U16(uint16_t tag) const
{
    const Tlv* t = Find(tag);
    if (!t || t->value.size() != 2)
        return std::nullopt;
    return ByteReader(t->value).U16();
}

std::optional<uint32_t> TlvList::U32(uint16_t tag) const
{
    const Tlv* t = Find(tag);
    if (!t || t->value.size() != 4)
        return std::nullopt;
    return ByteReader(t->value).U32();
}

std::optional<std::string> TlvList::String(uint16_t tag) const
{
    const Tlv* t = Find(tag);
    if (!t)
        return std::nullopt;
    return std::string(t->value.begin(), t->value.end());
}

std::optional<uint16_t> TlvList::U8OrU16(uint16_t tag) const
{
    if (auto v = U8(tag))
        return *v;
    return U16(tag);
}

static Tlv ReadOne(ByteReader& r)
{
    Tlv t;
    t.tag = r.U16();
    uint16_t length = r.U16();
    t.value = r.Take(length);
    return t;
}

TlvList ReadTlvRest(ByteReader& r)
{
    TlvList list;
    while (r.Ok() && !r.AtEnd()) {
        Tlv t = ReadOne(r);
        if (r.Ok())
            list.items.push_back(std::move(t));
    }
    return list;
}

TlvList ReadTlvCounted(ByteReader& r)
{
    TlvList list;
    uint16_t count = r.U16();
    // Each TLV takes at least four bytes: a count the rest cannot hold is a lie,
    // and checking it first keeps a hostile count from reserving memory.
    if (!r.Ok() || count > r.Remaining() / 4) {
        r.Fail();
        return list;
    }
    list.items.reserve(count);
    for (uint16_t i = 0; i < count && r.Ok(); ++i) {
        Tlv t = ReadOne(r);
        if (r.Ok())
            list.items.push_back(std::move(t));
    }
    return list;
}

TlvList ReadTlvSized(ByteReader& r)
{
    uint16_t size = r.U16();
    ByteReader block = r.Sub(size);
    TlvList list = ReadTlvRest(block);
    if (!block.Ok())
        r.Fail();
    return list;
}

void WriteTlv(ByteWriter& w, const Tlv& tlv)
{
    w.U16(tlv.tag);
    w.Block16(tlv.value);
}

void WriteTlvRest(ByteWriter& w, const TlvList& list)
{
    for (const Tlv& t : list.items)
        WriteTlv(w, t);
}

void WriteTlvCounted(ByteWriter& w, const TlvList& list)
{
    size_t count = list.items.size();
    if (count > 0xFFFF) {
        w.Fail();
        count = 0xFFFF;
    }
    w.U16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i)
        WriteTlv(w, list.items[i]);
}

void WriteTlvSized(ByteWriter& w, const TlvList& list)
{
    ByteWriter inner;
    WriteTlvRest(inner, list);
    if (!inner.Ok())
        w.Fail();
    w.Block16(inner.Data());
}

Bytes U16Bytes(uint16_t v)
{
    return Bytes{static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

Bytes U32Bytes(uint32_t v)
{
    return Bytes{static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                 static_cast<uint8_t>(v)};
}

} // namespace oscar
