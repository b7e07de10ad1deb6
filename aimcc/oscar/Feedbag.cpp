#include "Feedbag.h"

#include "ScreenName.h"

#include <algorithm>
#include <set>

namespace oscar::feedbag {

namespace {

// name (u16 + bytes), group, item, class, attribute size: the least an item takes.
constexpr size_t kMinItemSize = 10;

bool ReadItems(ByteReader& r, size_t count, std::vector<Item>& items)
{
    if (count > r.Remaining() / kMinItemSize)
        return false;
    items.reserve(count);
    for (size_t i = 0; i < count && r.Ok(); ++i)
        items.push_back(ReadItem(r));
    return r.Ok();
}

} // namespace

std::vector<uint16_t> Item::Order() const
{
    std::vector<uint16_t> ids;
    if (const Tlv* t = attributes.Find(attr::kOrder)) {
        for (size_t i = 0; i + 1 < t->value.size(); i += 2)
            ids.push_back(static_cast<uint16_t>(t->value[i] << 8 | t->value[i + 1]));
    }
    return ids;
}

void Item::SetOrder(const std::vector<uint16_t>& ids)
{
    if (ids.empty()) {
        attributes.Remove(attr::kOrder);
        return;
    }
    ByteWriter w;
    for (uint16_t id : ids)
        w.U16(id);
    attributes.Set(attr::kOrder, w.Take());
}

Item Item::Root(const std::vector<uint16_t>& groupOrder)
{
    Item item;
    item.classId = itemclass::kGroup;
    item.SetOrder(groupOrder);
    return item;
}

Item Item::Group(std::string_view name, uint16_t groupId, const std::vector<uint16_t>& buddyOrder)
{
    Item item;
    item.name.assign(name);
    item.groupId = groupId;
    item.classId = itemclass::kGroup;
    item.SetOrder(buddyOrder);
    return item;
}

Item Item::Buddy(std::string_view screenName, uint16_t groupId, uint16_t itemId)
{
    Item item;
    item.name.assign(screenName);
    item.groupId = groupId;
    item.itemId = itemId;
    item.classId = itemclass::kBuddy;
    return item;
}

void WriteItem(ByteWriter& w, const Item& item)
{
    w.String16(item.name);
    w.U16(item.groupId);
    w.U16(item.itemId);
    w.U16(item.classId);
    WriteTlvSized(w, item.attributes);
}

Item ReadItem(ByteReader& r)
{
    Item item;
    item.name = r.String16();
    item.groupId = r.U16();
    item.itemId = r.U16();
    item.classId = r.U16();
    item.attributes = ReadTlvSized(r);
    return item;
}

std::vector<uint16_t> RightsReply::MaxItemsPerClass() const
{
    std::vector<uint16_t> limits;
    if (const Tlv* t = tlvs.Find(0x0004)) {
        ByteReader r(t->value);
        while (r.Remaining() >= 2)
            limits.push_back(r.U16());
    }
    return limits;
}

Bytes Encode(const RightsReply& m)
{
    ByteWriter w;
    WriteTlvRest(w, m.tlvs);
    return w.Take();
}

bool Decode(const Bytes& body, RightsReply& m)
{
    ByteReader r(body);
    m.tlvs = ReadTlvRest(r);
    return r.Ok();
}

Bytes Encode(const QueryIfModified& m)
{
    ByteWriter w;
    w.U32(m.lastModified);
    w.U16(m.count);
    return w.Take();
}

bool Decode(const Bytes& body, QueryIfModified& m)
{
    ByteReader r(body);
    m.lastModified = r.U32();
    if (r.Remaining() == 1)
        m.count = r.U8();
    else
        m.count = r.U16();
    return r.Ok();
}

Bytes Encode(const Reply& m)
{
    ByteWriter w;
    w.U8(m.version);
    w.U16(static_cast<uint16_t>(m.items.size()));
    for (const Item& item : m.items)
        WriteItem(w, item);
    if (m.lastModified)
        w.U32(*m.lastModified);
    return w.Take();
}

bool Decode(const Bytes& body, Reply& m)
{
    ByteReader r(body);
    m.version = r.U8();
    uint16_t count = r.U16();
    m.items.clear();
    if (!r.Ok() || !ReadItems(r, count, m.items))
        return false;
    m.lastModified.reset();
    if (r.Remaining() == 0)
        return true;
    m.lastModified = r.U32();
    return r.Done();
}

Bytes Encode(const ItemList& m)
{
    ByteWriter w;
    for (const Item& item : m.items)
        WriteItem(w, item);
    return w.Take();
}

bool Decode(const Bytes& body, ItemList& m)
{
    ByteReader r(body);
    m.items.clear();
    while (r.Ok() && !r.AtEnd())
        m.items.push_back(ReadItem(r));
    return r.Ok() && !m.items.empty();
}

Bytes Encode(const Status& m)
{
    ByteWriter w;
    for (uint16_t code : m.codes)
        w.U16(code);
    return w.Take();
}

bool Decode(const Bytes& body, Status& m)
{
    ByteReader r(body);
    if (r.Remaining() % 2 != 0)
        return false;
    m.codes.clear();
    while (!r.AtEnd())
        m.codes.push_back(r.U16());
    return r.Ok();
}

Bytes Encode(const StartCluster& m)
{
    ByteWriter w;
    if (m.flags)
        w.U32(*m.flags);
    return w.Take();
}

bool Decode(const Bytes& body, StartCluster& m)
{
    ByteReader r(body);
    m.flags.reset();
    if (r.Remaining() >= 4)
        m.flags = r.U32();
    return r.Ok();
}

const Item* FeedbagList::Find(uint16_t groupId, uint16_t itemId) const
{
    for (const Item& item : items)
        if (item.groupId == groupId && item.itemId == itemId)
            return &item;
    return nullptr;
}

Item* FeedbagList::Find(uint16_t groupId, uint16_t itemId)
{
    for (Item& item : items)
        if (item.groupId == groupId && item.itemId == itemId)
            return &item;
    return nullptr;
}

const Item* FeedbagList::FindGroup(std::string_view name) const
{
    for (const Item& item : items)
        if (item.IsGroup() && item.name == name)
            return &item;
    return nullptr;
}

const Item* FeedbagList::FindBuddy(std::string_view screenName) const
{
    std::string wanted = NormalizeScreenName(screenName);
    for (const Item& item : items)
        if (item.IsBuddy() && NormalizeScreenName(item.name) == wanted)
            return &item;
    return nullptr;
}

const Item* FeedbagList::FindBuddy(std::string_view screenName, uint16_t groupId) const
{
    std::string wanted = NormalizeScreenName(screenName);
    for (const Item& item : items)
        if (item.IsBuddy() && item.groupId == groupId && NormalizeScreenName(item.name) == wanted)
            return &item;
    return nullptr;
}

std::vector<const Item*> FeedbagList::Groups() const
{
    std::vector<const Item*> groups;
    std::set<uint16_t> seen;
    if (const Item* root = Root()) {
        for (uint16_t id : root->Order()) {
            const Item* group = Find(id, 0);
            if (group && group->IsGroup() && seen.insert(id).second)
                groups.push_back(group);
        }
    }
    for (const Item& item : items)
        if (item.IsGroup() && seen.insert(item.groupId).second)
            groups.push_back(&item);
    return groups;
}

std::vector<const Item*> FeedbagList::Buddies(uint16_t groupId) const
{
    std::vector<const Item*> buddies;
    std::set<uint16_t> seen;
    if (const Item* group = Find(groupId, 0)) {
        for (uint16_t id : group->Order()) {
            const Item* buddy = Find(groupId, id);
            if (buddy && buddy->IsBuddy() && seen.insert(id).second)
                buddies.push_back(buddy);
        }
    }
    for (const Item& item : items)
        if (item.IsBuddy() && item.groupId == groupId && seen.insert(item.itemId).second)
            buddies.push_back(&item);
    return buddies;
}

uint16_t FeedbagList::NewGroupId() const
{
    std::set<uint16_t> used;
    for (const Item& item : items)
        used.insert(item.groupId);
    for (uint32_t id = 1; id <= 0x7FFF; ++id)
        if (!used.count(static_cast<uint16_t>(id)))
            return static_cast<uint16_t>(id);
    return 0;
}

uint16_t FeedbagList::NewItemId() const
{
    std::set<uint16_t> used;
    for (const Item& item : items)
        used.insert(item.itemId);
    for (uint32_t id = 1; id <= 0x7FFF; ++id)
        if (!used.count(static_cast<uint16_t>(id)))
            return static_cast<uint16_t>(id);
    return 0;
}

bool FeedbagList::Insert(const Item& item)
{
    if (Find(item.groupId, item.itemId))
        return false;
    items.push_back(item);
    return true;
}

bool FeedbagList::Update(const Item& item)
{
    Item* existing = Find(item.groupId, item.itemId);
    if (!existing)
        return false;
    *existing = item;
    return true;
}

bool FeedbagList::Remove(uint16_t groupId, uint16_t itemId)
{
    auto it = std::find_if(items.begin(), items.end(),
                           [&](const Item& item) { return item.groupId == groupId && item.itemId == itemId; });
    if (it == items.end())
        return false;
    items.erase(it);
    return true;
}

} // namespace oscar::feedbag
