// The text control channel's commands: one line in, a few lines out. Each
// answer ends with a line "ok" or "error <reason>"; commands that list
// something send their lines before it. Names with spaces are written in
// double quotes ("Echo Bot"); the last text argument (a message) is the rest
// of the line as typed. The commands are listed in README.md and by "help".
#pragma once

#include "ServerCore.h"

#include <string>

namespace oscar::server {

struct ControlResult {
    std::string text;                    // the answer, lines ending in '\n'
    bool quit = false;                   // close this control connection
    bool shutdown = false;               // stop the server
};

ControlResult RunControlCommand(ServerCore& core, const std::string& line);

} // namespace oscar::server
