#include "SmileySet.h"

#include "AccChatValues.h"
#include "AccCore.h"
#include "ComTypes.h"

using Microsoft::WRL::ComPtr;

namespace {

// The default set's identifier among the layer's expression items.
constexpr wchar_t kDefaultSetId[] = L"AgHSlWs=";

// A text array as the layer gives it: of BSTRs or of VARIANTs holding them.
std::vector<std::wstring> TextArray(const VARIANT& value)
{
    std::vector<std::wstring> texts;
    if (!(value.vt & VT_ARRAY) || !value.parray || SafeArrayGetDim(value.parray) != 1)
        return texts;
    const VARTYPE element = static_cast<VARTYPE>(value.vt & ~VT_ARRAY);
    if (element != VT_BSTR && element != VT_VARIANT)
        return texts;
    LONG low = 0;
    LONG high = -1;
    SafeArrayGetLBound(value.parray, 1, &low);
    SafeArrayGetUBound(value.parray, 1, &high);
    for (LONG i = low; i <= high; ++i) {
        if (element == VT_BSTR) {
            ScopedBstr text;
            if (SUCCEEDED(SafeArrayGetElement(value.parray, &i, text.Receive())) && !text.Text().empty())
                texts.push_back(text.Text());
            continue;
        }
        ScopedVariant item;
        if (SUCCEEDED(SafeArrayGetElement(value.parray, &i, item.Receive())) && item.value().vt == VT_BSTR &&
            item.value().bstrVal && SysStringLen(item.value().bstrVal) > 0)
            texts.emplace_back(item.value().bstrVal, SysStringLen(item.value().bstrVal));
    }
    return texts;
}

ComPtr<AIMCC::IAccBartItem> ContentOf(AIMCC::IAccBartItem* item)
{
    ComPtr<AIMCC::IAccBartItem> content;
    ScopedVariant value;
    if (!item || FAILED(item->get_Property(AIMCC::AccBartProp::Content, value.Receive())))
        return content;
    if ((value.value().vt == VT_DISPATCH || value.value().vt == VT_UNKNOWN) && value.value().punkVal)
        value.value().punkVal->QueryInterface(__uuidof(AIMCC::IAccBartItem),
                                              reinterpret_cast<void**>(content.GetAddressOf()));
    return content;
}

std::shared_ptr<const SmileySet> SetOf(AIMCC::IAccBartItem* item)
{
    if (!item || FAILED(item->Load()))
        return nullptr;
    ComPtr<AIMCC::IAccBartItem> content = ContentOf(item);
    auto set = std::make_shared<SmileySet>(SmileySetOfItem(content ? content.Get() : item));
    if (set->smileys.empty())
        return nullptr;
    return set;
}

} // namespace

SmileySet SmileySetOfItem(AIMCC::IAccBartItem* item)
{
    SmileySet set;
    long count = 0;
    if (!item || FAILED(item->get_ChildCount(&count)))
        return set;
    for (long i = 0; i < count; ++i) {
        ComPtr<AIMCC::IAccBartItem> child;
        if (FAILED(item->GetChild(i, &child)) || !child)
            continue;
        Smiley smiley;
        smiley.pictureFile = ItemText(child.Get(), AIMCC::AccBartProp::SmileyPicture);
        ScopedVariant shortcuts;
        if (SUCCEEDED(child->get_Property(AIMCC::AccBartProp::SmileyShortcuts, shortcuts.Receive())))
            smiley.shortcuts = TextArray(shortcuts.value());
        if (smiley.pictureFile.empty() || smiley.shortcuts.empty())
            continue;
        set.smileys.push_back(std::move(smiley));
    }
    return set;
}

std::shared_ptr<const SmileySet> LoadSmileySet(AIMCC::IAccUser* self, AIMCC::IAccSession* session)
{
    if (ComPtr<AIMCC::IAccBartItem> own = ExpressionItemOf(self, AIMCC::AccUserProp::SmileySet)) {
        if (std::shared_ptr<const SmileySet> set = SetOf(own.Get()))
            return set;
    }
    if (!session)
        return nullptr;
    ComPtr<AIMCC::IAccBartItem> fallback;
    ScopedBstr id(kDefaultSetId);
    if (FAILED(session->GetBartItem(AIMCC::AccBartType::SmileySet, id.get(), &fallback)) || !fallback)
        return nullptr;
    return SetOf(fallback.Get());
}
