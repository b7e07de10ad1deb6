// oscar-server: the local OSCAR server for tests and the offline demo.
// Usage in README.md.
#include "OscarServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace oscar::server;

namespace {

OscarServer* g_server = nullptr;

void OnSignal(int)
{
    if (g_server)
        g_server->RequestStop();
}

const char kUsage[] =
    "usage: oscar-server [options]\n"
    "  --accounts FILE      accounts and buddy lists (default: demo-accounts.txt beside the sources)\n"
    "  --host ADDRESS       address to listen on (default 127.0.0.1)\n"
    "  --port N             login port; also BOS unless --bos-port is given (default 5190, 0 = any)\n"
    "  --bos-port N         a separate BOS port\n"
    "  --control-port N     text control channel (default: none)\n"
    "  --advertise HOST     host name given to clients for BOS (default 127.0.0.1)\n"
    "  --demo               sign on the scripted accounts; they answer IMs\n"
    "  --typing-pause MS    --demo: how long a buddy shows typing before it answers (default 1500)\n"
    "  --away-every S       --demo: a buddy steps away by itself after S seconds available (default 0: never)\n"
    "  --away-for S         --demo: and comes back after S seconds (default 30)\n"
    "  --save               write buddy-list changes back to the accounts file\n"
    "  --help\n";

bool ParsePort(const char* text, uint16_t& port)
{
    char* end = nullptr;
    unsigned long v = std::strtoul(text, &end, 10);
    if (!*text || *end || v > 65535)
        return false;
    port = static_cast<uint16_t>(v);
    return true;
}

// A whole number of at most `max`.
bool ParseCount(const char* text, unsigned long max, unsigned long& count)
{
    char* end = nullptr;
    unsigned long v = std::strtoul(text, &end, 10);
    if (!*text || *end || *text == '-' || v > max)
        return false;
    count = v;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string accountsPath = VLM_DEFAULT_ACCOUNTS;
    OscarServer::Options options;
    options.loginPort = 5190;
    bool save = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "oscar-server: %s needs a value\n%s", arg.c_str(), kUsage);
                std::exit(2);
            }
            return argv[++i];
        };
        uint16_t port = 0;
        if (arg == "--accounts") {
            accountsPath = value();
        } else if (arg == "--host") {
            options.host = value();
        } else if (arg == "--advertise") {
            options.advertisedHost = value();
        } else if (arg == "--port" || arg == "--bos-port" || arg == "--control-port") {
            if (!ParsePort(value(), port)) {
                std::fprintf(stderr, "oscar-server: bad port for %s\n", arg.c_str());
                return 2;
            }
            if (arg == "--port")
                options.loginPort = port;
            else if (arg == "--bos-port")
                options.bosPort = port;
            else
                options.controlPort = port;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--typing-pause" || arg == "--away-every" || arg == "--away-for") {
            unsigned long count = 0;
            // A day at most: longer would never be seen, and keeps the clock arithmetic small.
            if (!ParseCount(value(), arg == "--typing-pause" ? 86400000ul : 86400ul, count)) {
                std::fprintf(stderr, "oscar-server: bad number for %s\n", arg.c_str());
                return 2;
            }
            if (arg == "--typing-pause")
                options.script.typingPause = std::chrono::milliseconds(count);
            else if (arg == "--away-every")
                options.script.awayEvery = std::chrono::seconds(count);
            else
                options.script.awayFor = std::chrono::seconds(count);
        } else if (arg == "--save") {
            save = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "oscar-server: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }

    std::vector<Account> accounts;
    std::string error;
    if (!ReadAccountsFile(accountsPath, accounts, &error)) {
        std::fprintf(stderr, "oscar-server: %s: %s\n", accountsPath.c_str(), error.c_str());
        return 1;
    }
    if (save)
        options.saveFile = accountsPath;

    OscarServer server(accounts, options);
    if (!server.Start(&error)) {
        std::fprintf(stderr, "oscar-server: %s\n", error.c_str());
        return 1;
    }
    g_server = &server;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    // One line a script can wait for and read the ports from.
    std::printf("oscar-server: %zu accounts, login %s:%u, BOS %s:%u", accounts.size(), options.host.c_str(),
                server.LoginPort(), options.advertisedHost.c_str(), server.BosPort());
    if (options.controlPort)
        std::printf(", control %s:%u", options.host.c_str(), server.ControlPort());
    std::printf("%s\n", options.demo ? ", demo" : "");
    std::fflush(stdout);
    server.Wait();
    g_server = nullptr;
    return 0;
}
