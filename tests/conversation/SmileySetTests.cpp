// The smiley set read from the AIM layer's expression items.
#include "FakeExpressionUser.h"
#include "SmileySet.h"

#include <gtest/gtest.h>

using namespace expression_fake;

namespace {

// A user whose smiley-set item holds, as its content, a set of smileys.
struct UserWithSet {
    UserWithSet()
    {
        *user.ReleaseAndGetAddressOf() = new User();
        item = user->AddItem(AIMCC::AccUserProp::SmileySet, L"");
        ComPtr<Item> set;
        *set.ReleaseAndGetAddressOf() = new Item();
        set->AddSmiley(L"C:\\cache\\smile.gif", {L":-)", L":)"});
        set->AddSmiley(L"", {L":-("});               // no picture: left out
        set->AddSmiley(L"C:\\cache\\wink.gif", {});   // no shortcut: left out
        set->AddSmiley(L"C:\\cache\\tongue.gif", {L":-P"});
        item->objects[AIMCC::AccBartProp::Content] = set;
    }
    ComPtr<User> user;
    Item* item = nullptr;
};

} // namespace

TEST(SmileySetTest, TheUsersOwnSetGivesItsSmileysInOrder)
{
    UserWithSet fixture;
    const std::shared_ptr<const SmileySet> set = LoadSmileySet(fixture.user.Get(), nullptr);
    ASSERT_TRUE(set);
    ASSERT_EQ(2u, set->smileys.size());
    EXPECT_EQ(L"C:\\cache\\smile.gif", set->smileys[0].pictureFile);
    EXPECT_EQ((std::vector<std::wstring>{L":-)", L":)"}), set->smileys[0].shortcuts);
    EXPECT_EQ(L":-P", set->smileys[1].FirstShortcut());
}

TEST(SmileySetTest, NoUsableSetGivesNothing)
{
    // The item does not load, the user has none, or the layer's placeholder.
    UserWithSet notLoading;
    notLoading.item->loads = false;
    EXPECT_FALSE(LoadSmileySet(notLoading.user.Get(), nullptr));

    ComPtr<User> bare;
    *bare.ReleaseAndGetAddressOf() = new User();
    EXPECT_FALSE(LoadSmileySet(bare.Get(), nullptr));
    EXPECT_FALSE(LoadSmileySet(nullptr, nullptr));

    UserWithSet placeholder;
    placeholder.item->texts[AIMCC::AccBartProp::Id] = L"0201D20472";
    EXPECT_FALSE(LoadSmileySet(placeholder.user.Get(), nullptr));
}
