// The accounts of the local server and their buddy lists, read from a plain
// text file (format in README.md) and written back in the same format when
// the server is asked to keep edits.
#pragma once

#include <string>
#include <vector>

namespace oscar::server {

struct AccountGroup {
    std::string name;
    std::vector<std::string> buddies;    // screen names, in display order
};

// What --demo does with an account.
enum class ScriptMode { None, Online, Away };

struct Account {
    std::string screenName;              // as displayed
    std::string password;
    std::string profile;                 // HTML, may be empty
    std::vector<AccountGroup> groups;    // in display order
    ScriptMode script = ScriptMode::None;
    std::string scriptAway;              // the away message of ScriptMode::Away
};

// False with "line N: reason" in *error on the first problem; accounts are
// then left empty.
bool ParseAccounts(const std::string& text, std::vector<Account>& accounts, std::string* error);
bool ReadAccountsFile(const std::string& path, std::vector<Account>& accounts, std::string* error);

std::string FormatAccounts(const std::vector<Account>& accounts);
bool WriteAccountsFile(const std::string& path, const std::vector<Account>& accounts);

} // namespace oscar::server
