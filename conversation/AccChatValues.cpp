#include "AccChatValues.h"

#include "ComTypes.h"

using Microsoft::WRL::ComPtr;

namespace {

// The hash of the layer's "no item" placeholder, which is never shown.
constexpr wchar_t kEmptyItemId[] = L"0201D20472";

std::wstring TextOf(const VARIANT& value)
{
    if (value.vt != VT_BSTR || !value.bstrVal)
        return std::wstring();
    return std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
}

std::wstring PropertyText(AIMCC::IAccObject* object, long property)
{
    ScopedVariant value;
    if (!object || FAILED(object->get_Property(property, value.Receive())))
        return std::wstring();
    return TextOf(value.value());
}

template <typename Interface>
ComPtr<Interface> PropertyObject(AIMCC::IAccObject* object, long property)
{
    ComPtr<Interface> result;
    ScopedVariant value;
    if (!object || FAILED(object->get_Property(property, value.Receive())))
        return result;
    const VARIANT& v = value.value();
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal)
        v.punkVal->QueryInterface(__uuidof(Interface), reinterpret_cast<void**>(result.GetAddressOf()));
    return result;
}

} // namespace

ComPtr<AIMCC::IAccBartItem> ExpressionItemOf(AIMCC::IAccUser* user, long property)
{
    ComPtr<AIMCC::IAccBartItem> item = PropertyObject<AIMCC::IAccBartItem>(user, property);
    if (item && ItemText(item.Get(), AIMCC::AccBartProp::Id) == kEmptyItemId)
        item.Reset();
    return item;
}

std::wstring ItemText(AIMCC::IAccBartItem* item, long property)
{
    return PropertyText(item, property);
}

bool ItemFlag(AIMCC::IAccBartItem* item, long property)
{
    ScopedVariant value;
    if (!item || FAILED(item->get_Property(property, value.Receive())))
        return false;
    ScopedVariant flag;
    return SUCCEEDED(VariantChangeType(flag.get(), value.get(), 0, VT_BOOL)) &&
           flag.value().boolVal != VARIANT_FALSE;
}

std::string ReadItemStream(AIMCC::IAccBartItem* item, size_t limit)
{
    std::string bytes;
    ComPtr<AIMCC::IAccStream> stream = PropertyObject<AIMCC::IAccStream>(item, AIMCC::AccBartProp::Stream);
    if (!stream)
        return bytes;
    char buffer[4096];
    ULONG read = 0;
    while (bytes.size() < limit && SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0)
        bytes.append(buffer, read);
    if (bytes.size() > limit)
        bytes.resize(limit);
    return bytes;
}

ChatParty ChatPartyOfUser(AIMCC::IAccUser* user)
{
    ChatParty party;
    if (!user)
        return party;
    party.screenName = PropertyText(user, AIMCC::AccUserProp::Name);
    party.name = PropertyText(user, AIMCC::AccUserProp::Alias);
    if (party.name.empty())
        party.name = party.screenName;
    ComPtr<AIMCC::IAccBartItem> icon = ExpressionItemOf(user, AIMCC::AccUserProp::BuddyIcon);
    party.iconPath = ItemText(icon.Get(), AIMCC::AccBartProp::Path);
    return party;
}

bool ReadMessageFacts(AIMCC::IAccIm* im, ChatMessage* message)
{
    if (!im || !message)
        return false;
    message->id = PropertyText(im, AIMCC::AccImProp::Id);
    ScopedVariant flags;
    ScopedVariant number;
    message->flags = 0;
    if (SUCCEEDED(im->get_Property(AIMCC::AccImProp::Flags, flags.Receive())) &&
        SUCCEEDED(VariantChangeType(number.get(), flags.get(), 0, VT_UI4)))
        message->flags = number.value().ulVal;
    ScopedVariant time;
    ScopedVariant date;
    if (SUCCEEDED(im->get_Property(AIMCC::AccImProp::Time, time.Receive())) &&
        SUCCEEDED(VariantChangeType(date.get(), time.get(), 0, VT_DATE)) &&
        VariantTimeToSystemTime(date.value().date, &message->time))
        return true;
    // A message without a time is shown as arriving now.
    GetLocalTime(&message->time);
    return true;
}
