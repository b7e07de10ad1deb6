// Buddy list files (".blt"): one account's groups, buddies, aliases and
// notes in a small brace-structured text, UTF-8 with CR LF line ends.
//
//   Config {                 Buddy {
//    version 2                list {
//   }                          "Group" {
//   User {                      "Buddy" {
//    screenName Name             Note=first line
//   }                            FriendlyName=Alias
//                               }
//                              }
//                             }
//                            }
//
// The text side (composing and parsing into BltList) needs no session, so it
// is tested on its own; the session side reads and fills an account's buddy
// list through the AIM layer. The reader is tolerant: a damaged or hostile
// file gives what is valid in it plus a list of what was left out.
#pragma once

#include "AccCore.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

struct BltBuddy {
    std::wstring name;
    std::wstring alias;
    std::wstring note;   // lines joined with CR LF
};

struct BltGroup {
    std::wstring name;
    std::vector<BltBuddy> buddies;
};

struct BltList {
    std::wstring screenName;   // the account the file was written for
    std::vector<BltGroup> groups;
};

// Something of a file (or of an import) that was left out.
struct BltProblem {
    enum Kind {
        BadBuddyName,     // empty, too long, or characters no screen name has
        BadGroupName,     // empty or too long
        StrayBrace,       // "}" with nothing open
        Unfinished,       // the file ends inside an open section
        GroupFailed,      // the layer refused the group (result)
        BuddyFailed,      // the layer refused the buddy (result)
    };
    explicit BltProblem(Kind what) : kind(what) {}

    Kind kind;
    int line = 0;            // 1-based line of the file, 0 when none
    std::wstring name;       // the name concerned
    std::wstring group;      // its group, for BuddyFailed
    HRESULT result = S_OK;
};

// A note is cut to this many characters when read.
constexpr size_t kBltMaxNote = 259;
// The longest screen name the network knows.
constexpr size_t kBltMaxScreenName = 97;

// The file's text for `list`, lines ending in CR LF. Note lines that the
// reader would take for the end of the note (a line reading "}", a line
// whose first word holds "FriendlyName=", an empty line, or one that
// begins with "\") are written with a leading "\" that the reader removes.
std::wstring ComposeBuddyListFile(const BltList& list);

// The file's bytes as text: a byte order mark decides the encoding (UTF-8,
// UTF-16 little or big endian), UTF-8 without one.
std::wstring DecodeBuddyListFile(std::string_view bytes);

// Reads a file's text. Groups and buddies named twice are merged; what is
// left out is added to `problems`.
BltList ParseBuddyListFile(std::wstring_view text, std::vector<BltProblem>& problems);

// The account's buddy list as a file holds it: its groups in the layer's
// order without the offline group, each buddy whose name can be read. The
// buddies the layer shows in its offline group are written in the groups
// that hold them, after the ones on line.
HRESULT ReadBuddyList(AIMCC::IAccSession* session, BltList& list);

struct BltImportReport {
    int groupsAdded = 0;
    int buddiesAdded = 0;
    std::vector<BltProblem> problems;
};

// Adds the groups and buddies of `list` to the account's buddy list: groups
// are created at the end when missing, buddies added at the end of their
// group unless they are there; aliases and notes are set, cut to the
// layer's limits. Nothing is removed. A group or buddy the layer refuses is
// reported and skipped. The alias and note of a buddy the import adds are
// set once the server has confirmed it: the import runs this thread's
// messages meanwhile, for at most ten seconds.
HRESULT ImportBuddyList(AIMCC::IAccSession* session, const BltList& list, BltImportReport& report);

// Writes `bytes` to `path` through a temporary file in the same folder that
// replaces the target only once everything is written.
HRESULT WriteFileReplacing(const std::wstring& path, std::string_view bytes);

// The main menu's commands: a file dialog, then the export or import for
// `session`'s account. Failures and left-out entries are shown in the
// program's message box; a cancelled dialog, a missing session or an empty
// file do nothing.
void ExportBuddyListCommand(HWND owner, AIMCC::IAccSession* session);
void ImportBuddyListCommand(HWND owner, AIMCC::IAccSession* session);
