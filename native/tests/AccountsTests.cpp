#include "Accounts.h"
#include "ScreenName.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace oscar::server;

namespace {

TEST(Accounts, ParsesListsAndScripts)
{
    const char text[] =
        "# comment\n"
        "\n"
        "account Alice Demo\n"
        "password pass word\n"
        "profile <b>hi</b>\n"
        "group Buddies\n"
        "buddy Bob Demo\n"
        "  buddy   Carol  \r\n"
        "group Empty\n"
        "account Bot\n"
        "password x\n"
        "script away Out to lunch\n"
        "account Echo\n"
        "password y\n"
        "script online\n";
    std::vector<Account> accounts;
    std::string error;
    ASSERT_TRUE(ParseAccounts(text, accounts, &error)) << error;
    ASSERT_EQ(3u, accounts.size());
    const Account& alice = accounts[0];
    EXPECT_EQ("Alice Demo", alice.screenName);
    EXPECT_EQ("pass word", alice.password);
    EXPECT_EQ("<b>hi</b>", alice.profile);
    EXPECT_EQ(ScriptMode::None, alice.script);
    ASSERT_EQ(2u, alice.groups.size());
    EXPECT_EQ("Buddies", alice.groups[0].name);
    EXPECT_EQ((std::vector<std::string>{"Bob Demo", "Carol"}), alice.groups[0].buddies);
    EXPECT_TRUE(alice.groups[1].buddies.empty());
    EXPECT_EQ(ScriptMode::Away, accounts[1].script);
    EXPECT_EQ("Out to lunch", accounts[1].scriptAway);
    EXPECT_EQ(ScriptMode::Online, accounts[2].script);

    std::vector<Account> again;
    ASSERT_TRUE(ParseAccounts(FormatAccounts(accounts), again, &error)) << error;
    EXPECT_EQ(FormatAccounts(accounts), FormatAccounts(again));
    EXPECT_EQ(alice.groups[0].buddies, again[0].groups[0].buddies);
}

TEST(Accounts, ErrorsNameTheLine)
{
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"buddy x\n", "line 1: \"buddy\" before the first account"},
        {"account A\npassword p\nbuddy B\n", "line 3: buddy before the first group"},
        {"account A\npassword p\naccount a\n", "line 3: account \"a\" is defined twice"},
        {"account A B\npassword p\naccount ab\n", "line 3: account \"ab\" is defined twice"},
        {"account A\naccount B\npassword p\n", "line 2: account \"A\" has no password"},
        {"account A\n", "line 1: account \"A\" has no password"},
        {"account\n", "line 1: account without a screen name"},
        {"account A\npassword p\nscript sideways\n", "line 3: script must be \"online\" or \"away <message>\""},
        {"account A\npassword p\nscript away\n", "line 3: script away without a message"},
        {"account A\npassword p\nfrobnicate\n", "line 3: unknown keyword \"frobnicate\""},
        {"account A\npassword p\ngroup\n", "line 3: group without a name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Account> accounts(1);
        std::string error;
        EXPECT_FALSE(ParseAccounts(c.text, accounts, &error));
        EXPECT_EQ(c.error, error);
        EXPECT_TRUE(accounts.empty());
    }
}

TEST(Accounts, DemoFileHasTwoMutualBuddiesAndScriptedOnes)
{
    std::vector<Account> accounts;
    std::string error;
    ASSERT_TRUE(ReadAccountsFile(VLM_DEMO_ACCOUNTS, accounts, &error)) << error;
    auto lists = [](const Account& a, const std::string& name) {
        for (const AccountGroup& g : a.groups)
            for (const std::string& b : g.buddies)
                if (oscar::SameScreenName(b, name))
                    return true;
        return false;
    };
    int mutualPairs = 0;
    for (const Account& a : accounts)
        for (const Account& b : accounts)
            if (&a != &b && a.script == ScriptMode::None && b.script == ScriptMode::None &&
                lists(a, b.screenName) && lists(b, a.screenName))
                ++mutualPairs;
    EXPECT_GE(mutualPairs, 2);           // each pair is seen from both sides
    EXPECT_TRUE(std::any_of(accounts.begin(), accounts.end(), [](const Account& a) { return a.script == ScriptMode::Online; }));
    EXPECT_TRUE(std::any_of(accounts.begin(), accounts.end(), [](const Account& a) { return a.script == ScriptMode::Away; }));
    for (const Account& a : accounts)
        EXPECT_TRUE(oscar::IsValidAimScreenName(a.screenName)) << a.screenName;
}

} // namespace
