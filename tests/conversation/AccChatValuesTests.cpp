// The values the view's templates take, read from AIM layer objects.
#include "AccChatValues.h"

#include "FakeExpressionUser.h"

#include <gtest/gtest.h>

using namespace AIMCC;
using Microsoft::WRL::ComPtr;

TEST(AccChatValuesTest, ABuddysNamesAndIcon)
{
    ComPtr<expression_fake::User> user;
    *user.ReleaseAndGetAddressOf() = new expression_fake::User();
    EXPECT_EQ(L"", ChatPartyOfUser(nullptr).screenName);

    user->texts[AccUserProp::Name] = L"Bob Demo";
    ChatParty party = ChatPartyOfUser(user.Get());
    EXPECT_EQ(L"Bob Demo", party.screenName);
    EXPECT_EQ(L"Bob Demo", party.name);
    EXPECT_EQ(L"", party.iconPath);

    user->texts[AccUserProp::Alias] = L"Bobby";
    user->AddItem(AccUserProp::BuddyIcon, L"C:\\cache\\bob.png", L"0201D20472");
    party = ChatPartyOfUser(user.Get());
    EXPECT_EQ(L"Bobby", party.name);
    // The layer's placeholder is no icon.
    EXPECT_EQ(L"", party.iconPath);
    user->AddItem(AccUserProp::BuddyIcon, L"C:\\cache\\bob.png");
    EXPECT_EQ(L"C:\\cache\\bob.png", ChatPartyOfUser(user.Get()).iconPath);
}

TEST(AccChatValuesTest, AMessagesIdentifierFlagsAndTime)
{
    ComPtr<expression_fake::Message> im;
    *im.ReleaseAndGetAddressOf() = new expression_fake::Message();
    im->texts[AccImProp::Id] = L"42";
    im->messageFlags = AccImFlags::Offline | AccImFlags::AutoResponse;
    SYSTEMTIME sent = {2026, 12, 5, 11, 9, 15, 30, 0};
    ASSERT_TRUE(SystemTimeToVariantTime(&sent, &im->time));
    im->hasTime = true;

    ChatMessage message;
    ASSERT_TRUE(ReadMessageFacts(im.Get(), &message));
    EXPECT_EQ(L"42", message.id);
    EXPECT_EQ(kMessageOffline | kMessageAutoResponse, message.flags);
    EXPECT_EQ(9, message.time.wHour);
    EXPECT_EQ(15, message.time.wMinute);
    EXPECT_EQ(11, message.time.wDay);
    EXPECT_FALSE(ReadMessageFacts(nullptr, &message));
}
