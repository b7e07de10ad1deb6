#include "ControlCommands.h"

#include <cstdlib>
#include <string_view>

namespace oscar::server {

namespace {

const char kHelp[] =
    "signon <name>                    sign a scripted user on\n"
    "signoff <name>                   sign a scripted user off (or disconnect a client)\n"
    "away <name> <message>            set an away message\n"
    "back <name>                      clear the away message\n"
    "idle <name> <minutes>            set idle time (0: active)\n"
    "profile <name> <html>            set the profile\n"
    "im <from> <to> <text>            send an IM\n"
    "autoim <from> <to> <text>        send an automatic (away) reply\n"
    "typing <from> <to> begun|paused|finished\n"
    "inbox <name>                     what a scripted user received (and forget it)\n"
    "addbuddy <owner> <group> <buddy> add a buddy to a stored list\n"
    "delbuddy <owner> <buddy>         remove a buddy from a stored list\n"
    "list <name>                      a stored buddy list\n"
    "online                           who is signed on\n"
    "quit                             close this control connection\n"
    "shutdown                         stop the server\n";

void SkipSpaces(std::string_view& rest)
{
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
}

// One word, or a "quoted phrase". False when nothing is left.
bool NextToken(std::string_view& rest, std::string& token)
{
    SkipSpaces(rest);
    token.clear();
    if (rest.empty())
        return false;
    if (rest.front() == '"') {
        size_t end = rest.find('"', 1);
        if (end == std::string_view::npos)
            end = rest.size();
        token.assign(rest.substr(1, end - 1));
        rest.remove_prefix(end < rest.size() ? end + 1 : end);
        return true;
    }
    size_t end = rest.find_first_of(" \t");
    if (end == std::string_view::npos)
        end = rest.size();
    token.assign(rest.substr(0, end));
    rest.remove_prefix(end);
    return true;
}

std::string RestOfLine(std::string_view rest)
{
    SkipSpaces(rest);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r'))
        rest.remove_suffix(1);
    return std::string(rest);
}

std::string Quote(const std::string& name)
{
    return name.find(' ') == std::string::npos ? name : "\"" + name + "\"";
}

} // namespace

ControlResult RunControlCommand(ServerCore& core, const std::string& line)
{
    ControlResult result;
    std::string_view rest(line);
    std::string command, a, b, c;
    std::string error;
    auto ok = [&](bool succeeded) {
        result.text += succeeded ? std::string("ok\n") : "error " + error + "\n";
        return result;
    };
    auto usage = [&](const char* text) {
        error = std::string("usage: ") + text;
        return ok(false);
    };

    if (!NextToken(rest, command))
        return usage("a command; \"help\" lists them");

    if (command == "help") {
        result.text = kHelp;
        return ok(true);
    }
    if (command == "quit") {
        result.quit = true;
        return ok(true);
    }
    if (command == "shutdown") {
        result.shutdown = true;
        return ok(true);
    }
    if (command == "online") {
        for (const std::string& name : core.OnlineUsers())
            result.text += "online " + name + "\n";
        return ok(true);
    }
    if (command == "signon" || command == "signoff" || command == "back" || command == "inbox" ||
        command == "list") {
        if (!NextToken(rest, a))
            return usage((command + " <name>").c_str());
        if (command == "signon")
            return ok(core.SignOn(a, &error));
        if (command == "signoff")
            return ok(core.SignOff(a, &error));
        if (command == "back")
            return ok(core.SetAway(a, "", &error));
        if (!core.HasAccount(a)) {
            error = "no account " + a;
            return ok(false);
        }
        if (command == "list") {
            for (const std::string& entry : core.ListOf(a))
                result.text += (entry.rfind("  ", 0) == 0 ? "buddy " + entry.substr(2) : "group " + entry) + "\n";
            return ok(true);
        }
        for (const InboxEntry& entry : core.TakeInbox(a)) {
            if (entry.kind == InboxEntry::Kind::Typing) {
                static const char* const events[] = {"finished", "paused", "begun"};
                const char* name = entry.typingEvent < 3 ? events[entry.typingEvent] : "unknown";
                result.text += "typing " + Quote(entry.from) + " " + name + "\n";
            } else {
                result.text += (entry.autoResponse ? "autoim " : "im ") + Quote(entry.from) + " " + entry.text + "\n";
            }
        }
        return ok(true);
    }
    if (command == "away" || command == "profile") {
        if (!NextToken(rest, a))
            return usage((command + " <name> <text>").c_str());
        std::string text = RestOfLine(rest);
        if (command == "profile")
            return ok(core.SetProfile(a, text, &error));
        if (text.empty())
            return usage("away <name> <message>");
        return ok(core.SetAway(a, text, &error));
    }
    if (command == "idle") {
        if (!NextToken(rest, a) || !NextToken(rest, b))
            return usage("idle <name> <minutes>");
        char* end = nullptr;
        unsigned long minutes = std::strtoul(b.c_str(), &end, 10);
        if (*end != '\0' || minutes > 100000)
            return usage("idle <name> <minutes>");
        return ok(core.SetIdle(a, static_cast<uint32_t>(minutes), &error));
    }
    if (command == "im" || command == "autoim") {
        if (!NextToken(rest, a) || !NextToken(rest, b))
            return usage((command + " <from> <to> <text>").c_str());
        std::string text = RestOfLine(rest);
        if (text.empty())
            return usage((command + " <from> <to> <text>").c_str());
        return ok(core.SendIm(a, b, text, command == "autoim", &error));
    }
    if (command == "typing") {
        if (!NextToken(rest, a) || !NextToken(rest, b) || !NextToken(rest, c))
            return usage("typing <from> <to> begun|paused|finished");
        uint16_t event;
        if (c == "begun")
            event = icbm::typing::kBegun;
        else if (c == "paused")
            event = icbm::typing::kPaused;
        else if (c == "finished")
            event = icbm::typing::kFinished;
        else
            return usage("typing <from> <to> begun|paused|finished");
        return ok(core.SendTyping(a, b, event, &error));
    }
    if (command == "addbuddy") {
        if (!NextToken(rest, a) || !NextToken(rest, b) || !NextToken(rest, c))
            return usage("addbuddy <owner> <group> <buddy>");
        return ok(core.AddBuddy(a, b, c, &error));
    }
    if (command == "delbuddy") {
        if (!NextToken(rest, a) || !NextToken(rest, b))
            return usage("delbuddy <owner> <buddy>");
        return ok(core.RemoveBuddy(a, b, &error));
    }
    error = "unknown command \"" + command + "\"; \"help\" lists them";
    return ok(false);
}

} // namespace oscar::server
