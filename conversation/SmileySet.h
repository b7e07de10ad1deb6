// A smiley set as the message editor uses it: its name and, in order, each
// smiley's name, picture file and the texts that stand for it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace AIMCC {
struct IAccBartItem;
struct IAccSession;
struct IAccUser;
} // namespace AIMCC

struct Smiley {
    std::wstring name;
    std::wstring pictureFile;
    std::vector<std::wstring> shortcuts;

    // The text the smiley is inserted as when smileys show as text.
    std::wstring FirstShortcut() const { return shortcuts.empty() ? std::wstring() : shortcuts.front(); }
};

struct SmileySet {
    std::wstring name;
    std::vector<Smiley> smileys;
};

// A typed character completes a shortcut: which smiley, and how many
// characters before the caret belong to it.
struct InlineSmileyMatch {
    size_t smiley = 0;
    size_t charactersBefore = 0;
};

// The first smiley (in set order, then shortcut order) with a shortcut that
// ends in `typed` and whose other characters are the `n` characters before
// the caret, as `textBefore(n)` reads them.
template <typename TextBefore>
std::optional<InlineSmileyMatch> FindInlineSmiley(const SmileySet& set, wchar_t typed, TextBefore&& textBefore)
{
    for (size_t i = 0; i < set.smileys.size(); ++i) {
        for (const std::wstring& shortcut : set.smileys[i].shortcuts) {
            if (shortcut.empty() || shortcut.back() != typed)
                continue;
            const size_t before = shortcut.size() - 1;
            if (before == 0 || textBefore(before) == shortcut.substr(0, before))
                return InlineSmileyMatch{i, before};
        }
    }
    return std::nullopt;
}

// The smileys of a set item of the AIM layer: its content's children, each
// with its picture file (item property 4) and its shortcut texts (item
// property 5). Smileys without a picture or a shortcut are left out.
SmileySet SmileySetOfItem(AIMCC::IAccBartItem* item);

// The user's own smiley set (user property 11024) when it loads, else the
// layer's default set; nothing when neither gives a smiley.
std::shared_ptr<const SmileySet> LoadSmileySet(AIMCC::IAccUser* self, AIMCC::IAccSession* session);
