#include "BuddyEvent.h"

#include <gtest/gtest.h>

namespace {

struct ChangeCase {
    const char* what;
    long property;
    BuddyState before;
    BuddyState after;
    BuddyEvent expected;
};

const ChangeCase kChanges[] = {
    {"offline to online signs on", 3, {0}, {1}, BuddyEvent::SignOn},
    {"offline to away signs on first", 3, {0}, {3}, BuddyEvent::SignOn},
    {"offline to idle signs on first", 3, {0}, {2}, BuddyEvent::SignOn},
    {"online to offline signs off", 3, {1}, {0}, BuddyEvent::SignOff},
    {"away to offline signs off", 3, {3}, {0}, BuddyEvent::SignOff},
    {"online to away", 3, {1}, {3}, BuddyEvent::Away},
    {"idle to away", 3, {2}, {3}, BuddyEvent::Away},
    {"away to online is back", 3, {3}, {1}, BuddyEvent::Back},
    {"away to idle is back first", 3, {3}, {2}, BuddyEvent::Back},
    {"online to idle", 3, {1}, {2}, BuddyEvent::Idle},
    {"idle to online is active", 3, {2}, {1}, BuddyEvent::Active},
    {"same presence is nothing", 3, {1}, {1}, BuddyEvent::None},
    {"idle time reaches the threshold", 8, {1, 0, 599}, {1, 0, 600}, BuddyEvent::Idle},
    {"idle time falls below it", 8, {1, 0, 600}, {1, 0, 599}, BuddyEvent::Active},
    {"idle time grows past it", 8, {1, 0, 700}, {1, 0, 900}, BuddyEvent::None},
    {"idle time grows below it", 8, {1, 0, 10}, {1, 0, 500}, BuddyEvent::None},
    {"mobile bit 0x80 appears", 4, {1, 0x10}, {1, 0x90}, BuddyEvent::MobileOn},
    {"mobile bit 0x1000 appears", 4, {1, 0}, {1, 0x1000}, BuddyEvent::MobileOn},
    {"mobile bit 0x200 appears", 4, {1, 0}, {1, 0x200}, BuddyEvent::MobileOn},
    {"mobile bits all go", 4, {1, 0x1280}, {1, 0x10}, BuddyEvent::MobileOff},
    {"one mobile bit swaps for another", 4, {1, 0x200}, {1, 0x1000}, BuddyEvent::None},
    {"other flags change", 4, {1, 0x10}, {1, 0x20}, BuddyEvent::None},
    {"status text", 10002, {1}, {1}, BuddyEvent::PersonalMessage},
    {"presence message", 10009, {1}, {1}, BuddyEvent::PersonalMessage},
    {"feed", 16, {1}, {1}, BuddyEvent::Feed},
    {"alias is no event", 2, {1}, {1}, BuddyEvent::None},
};

TEST(BuddyEventTest, ClassifiesEachChange)
{
    for (const ChangeCase& c : kChanges)
        EXPECT_EQ(ClassifyBuddyChange(c.property, c.before, c.after), c.expected) << c.what;
}

TEST(BuddyEventTest, MasksLetEventsThrough)
{
    struct Case {
        UINT mask;
        BuddyEvent event;
        bool enabled;
    } cases[] = {
        {0x1, BuddyEvent::SignOn, true},
        {0x1, BuddyEvent::SignOff, false},
        {0x2, BuddyEvent::SignOff, true},
        {0x40, BuddyEvent::Idle, true},
        {0x40, BuddyEvent::Active, false},
        {0x80, BuddyEvent::Active, true},
        {0x10, BuddyEvent::MobileOff, true},
        {0x20, BuddyEvent::MobileOn, true},
        {0x3CF, BuddyEvent::MobileOn, false},
        {0x100, BuddyEvent::PersonalMessage, true},
        {0x200, BuddyEvent::Feed, true},
        {0x3FF, BuddyEvent::LogConversations, false},
        {0x400, BuddyEvent::LogConversations, true},
        {0xFFFFFFFF, BuddyEvent::None, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsBuddyEventEnabled(c.mask, c.event), c.enabled)
            << "mask " << c.mask << " event " << static_cast<int>(c.event);
}

TEST(BuddyEventTest, OneAccountRecordsAnEvent)
{
    const AccountListing offline{false, true};
    const AccountListing lists{true, true};
    const AccountListing other{true, false};
    struct Case {
        const char* what;
        std::vector<AccountListing> accounts;
        std::vector<bool> records;
    } cases[] = {
        {"one account", {lists}, {true}},
        {"both list the buddy: the first", {lists, lists}, {true, false}},
        {"only the second lists it", {other, lists}, {false, true}},
        {"the first lists it but is signed off", {offline, lists}, {false, true}},
        {"nobody lists it: the first signed on", {other, other}, {true, false}},
        {"nobody lists it, first signed off", {offline, other, other}, {false, true, false}},
        {"three, the last two list it", {other, lists, lists}, {false, true, false}},
    };
    for (const Case& c : cases) {
        for (size_t i = 0; i < c.accounts.size(); ++i)
            EXPECT_EQ(IsRecordingAccount(c.accounts, i), c.records[i]) << c.what << ", account " << i;
        EXPECT_FALSE(IsRecordingAccount(c.accounts, c.accounts.size())) << c.what;
    }
}

}  // namespace
