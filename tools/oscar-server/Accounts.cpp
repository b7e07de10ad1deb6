#include "Accounts.h"

#include "ScreenName.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace oscar::server {

namespace {

std::string Trim(const std::string& s)
{
    size_t begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    size_t end = s.find_last_not_of(" \t\r");
    return s.substr(begin, end - begin + 1);
}

bool Fail(std::string* error, int line, const std::string& reason)
{
    if (error)
        *error = "line " + std::to_string(line) + ": " + reason;
    return false;
}

} // namespace

bool ParseAccounts(const std::string& text, std::vector<Account>& accounts, std::string* error)
{
    accounts.clear();
    std::vector<Account> parsed;
    std::set<std::string> names;
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        size_t space = line.find_first_of(" \t");
        std::string keyword = line.substr(0, space);
        std::string value = space == std::string::npos ? std::string() : Trim(line.substr(space));

        if (keyword == "account") {
            if (value.empty())
                return Fail(error, lineNumber, "account without a screen name");
            if (!names.insert(NormalizeScreenName(value)).second)
                return Fail(error, lineNumber, "account \"" + value + "\" is defined twice");
            if (!parsed.empty() && parsed.back().password.empty())
                return Fail(error, lineNumber, "account \"" + parsed.back().screenName + "\" has no password");
            parsed.push_back(Account{});
            parsed.back().screenName = value;
            continue;
        }
        if (parsed.empty())
            return Fail(error, lineNumber, "\"" + keyword + "\" before the first account");
        Account& account = parsed.back();
        if (keyword == "password") {
            if (value.empty())
                return Fail(error, lineNumber, "empty password");
            account.password = value;
        } else if (keyword == "profile") {
            account.profile = value;
        } else if (keyword == "group") {
            if (value.empty())
                return Fail(error, lineNumber, "group without a name");
            account.groups.push_back(AccountGroup{value, {}});
        } else if (keyword == "buddy") {
            if (account.groups.empty())
                return Fail(error, lineNumber, "buddy before the first group");
            if (value.empty())
                return Fail(error, lineNumber, "buddy without a screen name");
            account.groups.back().buddies.push_back(value);
        } else if (keyword == "script") {
            std::string mode = value.substr(0, value.find(' '));
            if (mode == "online") {
                account.script = ScriptMode::Online;
            } else if (mode == "away") {
                account.script = ScriptMode::Away;
                account.scriptAway = value.size() > 4 ? Trim(value.substr(4)) : std::string();
                if (account.scriptAway.empty())
                    return Fail(error, lineNumber, "script away without a message");
            } else {
                return Fail(error, lineNumber, "script must be \"online\" or \"away <message>\"");
            }
        } else {
            return Fail(error, lineNumber, "unknown keyword \"" + keyword + "\"");
        }
    }
    if (!parsed.empty() && parsed.back().password.empty())
        return Fail(error, lineNumber, "account \"" + parsed.back().screenName + "\" has no password");
    accounts = std::move(parsed);
    return true;
}

bool ReadAccountsFile(const std::string& path, std::vector<Account>& accounts, std::string* error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error)
            *error = "cannot open " + path;
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParseAccounts(text.str(), accounts, error);
}

std::string FormatAccounts(const std::vector<Account>& accounts)
{
    std::string out = "# Accounts of the local OSCAR server (format: tools/oscar-server/README.md)\n";
    for (const Account& account : accounts) {
        out += "\naccount " + account.screenName + "\n";
        out += "password " + account.password + "\n";
        if (!account.profile.empty())
            out += "profile " + account.profile + "\n";
        if (account.script == ScriptMode::Online)
            out += "script online\n";
        else if (account.script == ScriptMode::Away)
            out += "script away " + account.scriptAway + "\n";
        for (const AccountGroup& group : account.groups) {
            out += "group " + group.name + "\n";
            for (const std::string& buddy : group.buddies)
                out += "buddy " + buddy + "\n";
        }
    }
    return out;
}

bool WriteAccountsFile(const std::string& path, const std::vector<Account>& accounts)
{
    // Written beside and renamed over, so a crash never leaves half a file.
    std::string temp = path + ".tmp";
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        file << FormatAccounts(accounts);
        if (!file.flush())
            return false;
    }
#ifdef _WIN32
    std::remove(path.c_str());           // rename does not replace on Windows
#endif
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

} // namespace oscar::server
