#include "BuddyListFile.h"

#include "AccHelpers.h"
#include "AccountSettings.h"
#include "LangStrings.h"
#include "ScopedHandle.h"
#include "ShellDialogs.h"
#include "StringConv.h"

#include <commdlg.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwctype>
#include <optional>

using Microsoft::WRL::ComPtr;

namespace {

constexpr size_t kMaxGroupName = 256;
constexpr DWORD kMaxFileBytes = 16 * 1024 * 1024;
// How many left-out entries the message box lists before it only counts.
constexpr size_t kProblemsShown = 15;

constexpr UINT kStrChooseFile = 391;
constexpr UINT kStrImportProblems = 1040;
constexpr UINT kStrBadBuddyName = 1041;
constexpr UINT kStrBadGroupName = 1042;
constexpr UINT kStrStrayBrace = 1043;
constexpr UINT kStrUnfinished = 1044;
constexpr UINT kStrGroupFailed = 1045;
constexpr UINT kStrBuddyFailed = 1046;
constexpr UINT kStrMoreProblems = 1047;
constexpr UINT kStrExportFailed = 1048;

constexpr wchar_t kFilter[] = L"BLT Files\0*.blt\0";
constexpr wchar_t kFriendlyName[] = L"FriendlyName=";
constexpr wchar_t kNote[] = L"Note=";
// A note line starting with this is taken as it stands, without it.
constexpr wchar_t kNoteLineEscape = L'\\';

// ---------------------------------------------------------------------------
// Lines and tokens.

struct Token {
    std::wstring_view value;   // without the quotes of a quoted token
    bool quoted = false;

    bool Is(wchar_t brace) const { return !quoted && value.size() == 1 && value[0] == brace; }
};

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\f' || c == L'\v' || c == 0xA0 || c == 0xFEFF;
}

std::vector<Token> Tokenize(std::wstring_view line)
{
    std::vector<Token> tokens;
    size_t at = 0;
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at >= line.size())
            break;
        Token token;
        if (line[at] == L'"') {
            const size_t close = line.find(L'"', at + 1);
            if (close == std::wstring_view::npos)
                break;   // an unclosed quote ends the line's tokens
            token.value = line.substr(at + 1, close - at - 1);
            token.quoted = true;
            at = close + 1;
        } else {
            size_t end = at;
            while (end < line.size() && !IsBlank(line[end]))
                ++end;
            token.value = line.substr(at, end - at);
            at = end;
        }
        tokens.push_back(token);
    }
    return tokens;
}

std::wstring_view Trimmed(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameWord(std::wstring_view a, const wchar_t* b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool HasControlCharacter(std::wstring_view text)
{
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

// Characters that screen names never hold; a "name" with them is markup or
// a damaged line, not a buddy.
bool IsScreenName(std::wstring_view name)
{
    if (name.empty() || name.size() > kBltMaxScreenName || HasControlCharacter(name))
        return false;
    if (name.find_first_of(L"<>\"&{}\\=[]|;") != std::wstring_view::npos)
        return false;
    return std::any_of(name.begin(), name.end(), [](wchar_t c) { return std::iswalnum(c) != 0; });
}

bool IsGroupName(std::wstring_view name)
{
    return !name.empty() && name.size() <= kMaxGroupName && !HasControlCharacter(name);
}

// The lines of a text: any run of CR and LF ends one; empty lines vanish.
std::vector<std::wstring_view> SplitLines(std::wstring_view text)
{
    std::vector<std::wstring_view> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find_first_of(L"\r\n", at);
        const size_t stop = end == std::wstring_view::npos ? text.size() : end;
        if (stop > at)
            lines.push_back(text.substr(at, stop - at));
        at = stop;
        while (at < text.size() && (text[at] == L'\r' || text[at] == L'\n'))
            ++at;
    }
    return lines;
}

// A note's own lines: CR LF, CR or LF each end one, and empty lines count.
std::vector<std::wstring_view> NoteLines(std::wstring_view note)
{
    std::vector<std::wstring_view> lines;
    size_t at = 0;
    for (;;) {
        const size_t end = note.find_first_of(L"\r\n", at);
        if (end == std::wstring_view::npos) {
            lines.push_back(note.substr(at));
            return lines;
        }
        lines.push_back(note.substr(at, end - at));
        at = end + ((note[end] == L'\r' && end + 1 < note.size() && note[end + 1] == L'\n') ? 2 : 1);
    }
}

// Whether the reader, inside a note, would take this line for something
// other than note text.
bool NoteLineNeedsEscape(std::wstring_view line)
{
    if (line.empty() || line.front() == kNoteLineEscape)
        return true;
    const std::vector<Token> tokens = Tokenize(line);
    if (tokens.empty())
        return false;
    return tokens[0].Is(L'}') || tokens[0].value.find(kFriendlyName) != std::wstring_view::npos;
}

// A name as the format can carry it: no quotes, no line breaks.
std::wstring QuotableName(const std::wstring& name)
{
    std::wstring out = name;
    for (wchar_t& c : out) {
        if (c == L'"')
            c = L'\'';
        else if (c == L'\r' || c == L'\n')
            c = L' ';
    }
    return out;
}

std::wstring SingleLine(const std::wstring& text)
{
    std::wstring out = text;
    std::replace_if(out.begin(), out.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
    return out;
}

// ---------------------------------------------------------------------------
// The reader.

class CBltReader {
public:
    explicit CBltReader(std::vector<BltProblem>& problems) : problems_(problems) {}

    BltList Read(std::wstring_view text)
    {
        for (std::wstring_view line : SplitLines(text)) {
            ++line_;
            ReadLine(line);
        }
        if (inNote_)
            StoreNote();
        if (!frames_.empty())
            Report(BltProblem::Unfinished, L"");
        return std::move(list_);
    }

private:
    enum class Frame { Config, User, Buddy, List, Group, BuddyBody, Ignored };

    void ReadLine(std::wstring_view line)
    {
        const std::vector<Token> tokens = Tokenize(line);
        if (inNote_ && !ContinueNote(line, tokens))
            return;
        for (size_t i = 0; i < tokens.size(); ++i) {
            const Token& token = tokens[i];
            if (token.Is(L'{')) {
                Open();
                continue;
            }
            if (token.Is(L'}')) {
                Close();
                continue;
            }
            if (frames_.empty()) {
                TopLevelWord(token);
                continue;
            }
            switch (frames_.back()) {
            case Frame::Config:
            case Frame::Ignored:
                break;
            case Frame::User:
                if (i > 0 && !tokens[i - 1].quoted && SameWord(tokens[i - 1].value, L"screenName"))
                    list_.screenName = std::wstring(token.value);
                break;
            case Frame::Buddy:
                pending_ = SameWord(token.value, L"list") && !token.quoted ? Frame::List : Frame::Ignored;
                break;
            case Frame::List:
                i = ReadGroupName(tokens, i);
                break;
            case Frame::Group:
                pendingBuddy_ = AddBuddy(group_, token.value);
                pending_ = Frame::BuddyBody;
                break;
            case Frame::BuddyBody:
                if (ReadBuddyValue(line, token))
                    return;
                break;
            }
        }
    }

    void Open()
    {
        const Frame frame = frames_.empty() ? sectionWord_ : pending_;
        frames_.push_back(frame);
        if (frame == Frame::Group)
            group_ = pendingGroup_;
        if (frame == Frame::BuddyBody)
            buddy_ = pendingBuddy_;
        pending_ = Frame::Ignored;
        sectionWord_ = Frame::Ignored;
    }

    void Close()
    {
        if (frames_.empty()) {
            Report(BltProblem::StrayBrace, L"");
            return;
        }
        const Frame closed = frames_.back();
        frames_.pop_back();
        if (closed == Frame::BuddyBody)
            buddy_ = -1;
        else if (closed == Frame::Group)
            group_ = -1;
        pending_ = Frame::Ignored;
    }

    // Words at top level choose the section its "{" opens.
    void TopLevelWord(const Token& token)
    {
        if (token.quoted)
            sectionWord_ = Frame::Ignored;
        else if (SameWord(token.value, L"Config"))
            sectionWord_ = Frame::Config;
        else if (SameWord(token.value, L"User"))
            sectionWord_ = Frame::User;
        else if (SameWord(token.value, L"Buddy"))
            sectionWord_ = Frame::Buddy;
        else
            sectionWord_ = Frame::Ignored;
    }

    // A group name in the list; a "{" after it opens its body, anything
    // else on the line are its buddies (the compact form). Returns the index
    // of the last token it used.
    size_t ReadGroupName(const std::vector<Token>& tokens, size_t i)
    {
        const int group = AddGroup(tokens[i].value);
        if (i + 1 == tokens.size() || tokens[i + 1].Is(L'{')) {
            pendingGroup_ = group;
            pending_ = group >= 0 ? Frame::Group : Frame::Ignored;
            return i;
        }
        size_t j = i + 1;
        for (; j < tokens.size() && !tokens[j].Is(L'{') && !tokens[j].Is(L'}'); ++j) {
            if (group >= 0)
                AddBuddy(group, tokens[j].value);
        }
        pending_ = Frame::Ignored;
        return j - 1;
    }

    // FriendlyName= and Note= in a buddy's body. True when the rest of the
    // line was taken.
    bool ReadBuddyValue(std::wstring_view line, const Token& token)
    {
        const size_t alias = token.value.find(kFriendlyName);
        const size_t note = token.value.find(kNote);
        if (alias == std::wstring_view::npos && note == std::wstring_view::npos)
            return false;
        const size_t tokenStart = static_cast<size_t>(token.value.data() - line.data());
        if (alias != std::wstring_view::npos && (note == std::wstring_view::npos || alias < note)) {
            SetAlias(line.substr(tokenStart + alias + wcslen(kFriendlyName)));
            return true;
        }
        inNote_ = true;
        note_.clear();
        AppendToNote(line.substr(tokenStart + note + wcslen(kNote)));
        return true;
    }

    // A line inside a note: appended, unless it ends the note. True when
    // the line is to be read as tokens after all.
    bool ContinueNote(std::wstring_view line, const std::vector<Token>& tokens)
    {
        if (line.front() == kNoteLineEscape) {
            AppendNoteLine(line.substr(1));
            return false;
        }
        const bool ends = !tokens.empty() &&
            (tokens[0].Is(L'}') || tokens[0].value.find(kFriendlyName) != std::wstring_view::npos);
        if (!ends) {
            AppendNoteLine(line);
            return false;
        }
        StoreNote();
        return true;
    }

    void AppendNoteLine(std::wstring_view line)
    {
        AppendToNote(L"\r\n");
        AppendToNote(line);
    }

    void AppendToNote(std::wstring_view text)
    {
        const size_t room = kBltMaxNote - std::min(kBltMaxNote, note_.size());
        note_.append(text.substr(0, std::min(room, text.size())));
    }

    void StoreNote()
    {
        inNote_ = false;
        if (BltBuddy* buddy = CurrentBuddy())
            buddy->note = note_;
        note_.clear();
    }

    void SetAlias(std::wstring_view text)
    {
        if (BltBuddy* buddy = CurrentBuddy())
            buddy->alias = std::wstring(Trimmed(text));
    }

    BltBuddy* CurrentBuddy()
    {
        if (group_ < 0 || buddy_ < 0)
            return nullptr;
        return &list_.groups[static_cast<size_t>(group_)].buddies[static_cast<size_t>(buddy_)];
    }

    // The index of the group (merged with one of the same name), or -1.
    int AddGroup(std::wstring_view rawName)
    {
        const std::wstring name(Trimmed(rawName));
        if (!IsGroupName(name)) {
            Report(BltProblem::BadGroupName, name.substr(0, kMaxGroupName));
            return -1;
        }
        for (size_t i = 0; i < list_.groups.size(); ++i) {
            if (SameText(list_.groups[i].name, name))
                return static_cast<int>(i);
        }
        list_.groups.push_back(BltGroup{name, {}});
        return static_cast<int>(list_.groups.size() - 1);
    }

    // The index of the buddy in the group (merged with the same screen
    // name), or -1.
    int AddBuddy(int group, std::wstring_view rawName)
    {
        const std::wstring name(Trimmed(rawName));
        if (group < 0)
            return -1;
        if (!IsScreenName(name)) {
            Report(BltProblem::BadBuddyName, name.substr(0, kBltMaxScreenName));
            return -1;
        }
        std::vector<BltBuddy>& buddies = list_.groups[static_cast<size_t>(group)].buddies;
        const std::wstring compact = CompactScreenName(name);
        for (size_t i = 0; i < buddies.size(); ++i) {
            if (SameText(CompactScreenName(buddies[i].name), compact))
                return static_cast<int>(i);
        }
        buddies.push_back(BltBuddy{name, L"", L""});
        return static_cast<int>(buddies.size() - 1);
    }

    void Report(BltProblem::Kind kind, const std::wstring& name)
    {
        BltProblem problem{kind};
        problem.line = line_;
        problem.name = name;
        problems_.push_back(problem);
    }

    std::vector<BltProblem>& problems_;
    BltList list_;
    std::vector<Frame> frames_;
    int line_ = 0;
    Frame sectionWord_ = Frame::Ignored;   // what "{" opens at top level
    Frame pending_ = Frame::Ignored;       // what "{" opens below it
    int pendingGroup_ = -1;
    int pendingBuddy_ = -1;
    int group_ = -1;                       // the open group
    int buddy_ = -1;                       // the open buddy body
    bool inNote_ = false;
    std::wstring note_;
};

// ---------------------------------------------------------------------------
// The layer's side.

class CVariantValue {
public:
    CVariantValue() { VariantInit(&value_); }
    ~CVariantValue() { VariantClear(&value_); }
    CVariantValue(const CVariantValue&) = delete;
    CVariantValue& operator=(const CVariantValue&) = delete;
    VARIANT* Out()
    {
        VariantClear(&value_);
        return &value_;
    }
    const VARIANT& Get() const { return value_; }
    VARIANT* In() { return &value_; }

private:
    VARIANT value_;
};

std::wstring ReadText(AIMCC::IAccObject* object, long id)
{
    CVariantValue value;
    if (FAILED(object->get_Property(id, value.Out())) || value.Get().vt != VT_BSTR || !value.Get().bstrVal)
        return std::wstring();
    return std::wstring(value.Get().bstrVal, SysStringLen(value.Get().bstrVal));
}

long ReadLong(AIMCC::IAccObject* object, long id, long def)
{
    CVariantValue value;
    if (FAILED(object->get_Property(id, value.Out())))
        return def;
    CVariantValue number;
    if (FAILED(VariantChangeType(number.Out(), value.In(), 0, VT_I4)))
        return def;
    return number.Get().lVal;
}

bool ReadFlag(AIMCC::IAccObject* object, long id)
{
    CVariantValue value;
    if (FAILED(object->get_Property(id, value.Out())))
        return false;
    CVariantValue flag;
    if (FAILED(VariantChangeType(flag.Out(), value.In(), 0, VT_BOOL)))
        return false;
    return flag.Get().boolVal != VARIANT_FALSE;
}

HRESULT WriteText(AIMCC::IAccObject* object, long id, const std::wstring& text)
{
    AIMCC::CAccString value(text.c_str());
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = value.Get();
    return object->put_Property(id, variant);
}

// A text cut to the layer's limit (none when it does not say).
std::wstring WithinLimit(const std::wstring& text, long limit)
{
    if (limit <= 0 || text.size() <= static_cast<size_t>(limit))
        return text;
    return text.substr(0, static_cast<size_t>(limit));
}

// The buddies a group lists, in the layer's order, each whose name reads.
std::vector<ComPtr<AIMCC::IAccUser>> ListedBuddies(AIMCC::IAccGroup* group)
{
    std::vector<ComPtr<AIMCC::IAccUser>> users;
    long count = 0;
    if (FAILED(group->get_BuddyCount(&count)))
        return users;
    for (long i = 0; i < count; ++i) {
        ComPtr<AIMCC::IAccUser> user;
        if (SUCCEEDED(group->GetBuddyByIndex(i, &user)) && user)
            users.push_back(user);
    }
    return users;
}

void AddReadBuddy(AIMCC::IAccUser* user, BltGroup& group)
{
    BltBuddy buddy;
    buddy.name = ReadText(user, AIMCC::AccUserProp::Name);
    if (buddy.name.empty())
        return;
    const std::wstring compact = CompactScreenName(buddy.name);
    for (const BltBuddy& listed : group.buddies) {
        if (SameText(CompactScreenName(listed.name), compact))
            return;
    }
    buddy.alias = ReadText(user, AIMCC::AccUserProp::Alias);
    buddy.note = ReadText(user, AIMCC::AccUserProp::Note);
    group.buddies.push_back(std::move(buddy));
}

// While the offline group is shown, the other groups list only their
// buddies that are on line: a buddy of the offline group goes back into
// every group that holds it, so that a file never loses offline buddies.
void AddOfflineBuddies(AIMCC::IAccGroup* offlineGroup, BltList& list)
{
    for (const ComPtr<AIMCC::IAccUser>& user : ListedBuddies(offlineGroup)) {
        long count = 0;
        if (FAILED(user->get_GroupCount(&count)))
            continue;
        for (long i = 0; i < count; ++i) {
            ComPtr<AIMCC::IAccGroup> holder;
            AIMCC::CAccString name;
            if (FAILED(user->GetGroup(i, &holder)) || !holder || FAILED(holder->get_Name(name.Out())))
                continue;
            for (BltGroup& group : list.groups) {
                if (SameText(group.name, name.Text()))
                    AddReadBuddy(user.Get(), group);
            }
        }
    }
}

// A buddy whose alias and note wait for the server to confirm it.
struct PendingDetails {
    ComPtr<AIMCC::IAccUser> user;
    std::wstring group;
    const BltBuddy* buddy;
};

void SetDetails(AIMCC::IAccUser* user, const BltBuddy& buddy)
{
    if (!buddy.alias.empty())
        WriteText(user, AIMCC::AccUserProp::Alias,
                  WithinLimit(buddy.alias, ReadLong(user, AIMCC::AccUserProp::AliasLimit, 0)));
    if (!buddy.note.empty())
        WriteText(user, AIMCC::AccUserProp::Note,
                  WithinLimit(buddy.note, ReadLong(user, AIMCC::AccUserProp::NoteLimit, 0)));
}

bool HeldBy(AIMCC::IAccUser* user, const std::wstring& groupName)
{
    long count = 0;
    if (FAILED(user->get_GroupCount(&count)))
        return false;
    for (long i = 0; i < count; ++i) {
        ComPtr<AIMCC::IAccGroup> group;
        AIMCC::CAccString name;
        if (SUCCEEDED(user->GetGroup(i, &group)) && group && SUCCEEDED(group->get_Name(name.Out())) &&
            SameText(groupName, name.Text()))
            return true;
    }
    return false;
}

// The layer takes a new buddy's alias and note from the server's answer to
// the addition, which has none: what is set before that answer is lost. So
// the import handles this thread's messages (the layer's events among them)
// until the server has confirmed the buddies it added, for a bounded time.
void WaitForConfirmation(const std::vector<PendingDetails>& pending)
{
    constexpr ULONGLONG kWaitMs = 10000;
    const auto confirmed = [&] {
        return std::all_of(pending.begin(), pending.end(),
                           [](const PendingDetails& p) { return HeldBy(p.user.Get(), p.group); });
    };
    const ULONGLONG start = GetTickCount64();
    while (!confirmed()) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= kWaitMs)
            return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(kWaitMs - elapsed, 50)),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void ImportBuddy(AIMCC::IAccSession* session, AIMCC::IAccGroup* group, const BltGroup& source,
                 const BltBuddy& buddy, BltImportReport& report, std::vector<PendingDetails>& pending)
{
    AIMCC::CAccString name(buddy.name.c_str());
    long index = -1;
    ComPtr<AIMCC::IAccUser> user;
    if (FAILED(group->GetBuddyIndex(name.Get(), &index)) || index < 0) {
        const HRESULT hr = group->AddBuddy(name.Get(), -1, &user);
        // A buddy already sent to the server by this import shows in the
        // group only when the server confirms it.
        if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) {
            BltProblem problem{BltProblem::BuddyFailed};
            problem.name = buddy.name;
            problem.group = source.name;
            problem.result = hr;
            report.problems.push_back(problem);
            return;
        }
        if (hr == S_OK)
            ++report.buddiesAdded;
    }
    if (!user && FAILED(session->GetUser(name.Get(), &user)))
        return;
    if (!user || (buddy.alias.empty() && buddy.note.empty()))
        return;
    if (HeldBy(user.Get(), source.name))
        SetDetails(user.Get(), buddy);
    else
        pending.push_back(PendingDetails{user, source.name, &buddy});
}

void ReportGroupFailure(const std::wstring& name, HRESULT hr, BltImportReport& report)
{
    BltProblem problem{BltProblem::GroupFailed};
    problem.name = name;
    problem.result = hr;
    report.problems.push_back(problem);
}

// ---------------------------------------------------------------------------
// Files and dialogs.

std::optional<std::string> ReadWholeFile(const std::wstring& path)
{
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxFileBytes)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

bool ChooseSaveFile(HWND owner, const std::wstring& title, wchar_t (&path)[MAX_PATH])
{
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrFilter = kFilter;
    ofn.lpstrDefExt = L"blt";
    ofn.lpstrFile = path;
    ofn.nMaxFile = ARRAYSIZE(path);
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_NONETWORKBUTTON | OFN_DONTADDTORECENT;
    return GetSaveFileNameW(&ofn) != FALSE;
}

std::wstring ProblemText(const BltProblem& problem)
{
    const std::wstring line = std::to_wstring(problem.line);
    switch (problem.kind) {
    case BltProblem::BadBuddyName:
        return FormatLangString(kStrBadBuddyName, {line, problem.name});
    case BltProblem::BadGroupName:
        return FormatLangString(kStrBadGroupName, {line, problem.name});
    case BltProblem::StrayBrace:
        return FormatLangString(kStrStrayBrace, {line});
    case BltProblem::Unfinished:
        return LoadLangString(kStrUnfinished);
    case BltProblem::GroupFailed:
        return FormatLangString(kStrGroupFailed, {problem.name, SystemErrorText(static_cast<DWORD>(problem.result))});
    case BltProblem::BuddyFailed:
        return FormatLangString(kStrBuddyFailed,
                                {problem.name, problem.group, SystemErrorText(static_cast<DWORD>(problem.result))});
    }
    return std::wstring();
}

void ShowProblems(HWND owner, const std::vector<BltProblem>& problems)
{
    std::wstring text = LoadLangString(kStrImportProblems);
    for (size_t i = 0; i < problems.size() && i < kProblemsShown; ++i)
        text += L"\r\n" + ProblemText(problems[i]);
    if (problems.size() > kProblemsShown)
        text += L"\r\n" + FormatLangString(kStrMoreProblems, {std::to_wstring(problems.size() - kProblemsShown)});
    ShowErrorBox(owner, text, MB_ICONWARNING);
}

} // namespace

std::wstring ComposeBuddyListFile(const BltList& list)
{
    std::wstring text = L"Config {\r\n version 2 \r\n}\r\n";
    if (!list.screenName.empty())
        text += L"User {\r\n screenName " + SingleLine(list.screenName) + L" \r\n}\r\n";
    text += L"Buddy {\r\n list {\r\n";
    for (const BltGroup& group : list.groups) {
        text += L"  \"" + QuotableName(group.name) + L"\" {\r\n";
        for (const BltBuddy& buddy : group.buddies) {
            text += L"   \"" + QuotableName(buddy.name) + L"\" {\r\n";
            if (!buddy.note.empty()) {
                const std::vector<std::wstring_view> lines = NoteLines(buddy.note);
                text += L"    Note=";
                text += lines[0];
                text += L"\r\n";
                for (size_t i = 1; i < lines.size(); ++i) {
                    if (NoteLineNeedsEscape(lines[i]))
                        text += kNoteLineEscape;
                    text += lines[i];
                    text += L"\r\n";
                }
            }
            if (!buddy.alias.empty())
                text += L"    FriendlyName=" + SingleLine(buddy.alias) + L"\r\n";
            text += L"   }\r\n";
        }
        text += L"  }\r\n";
    }
    text += L" }\r\n}\r\n";
    return text;
}

std::wstring DecodeBuddyListFile(std::string_view bytes)
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return Utf8ToWide(bytes.substr(3));
    const bool little = bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE";
    const bool big = bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF";
    if (!little && !big)
        return Utf8ToWide(bytes);
    std::wstring text;
    text.reserve((bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned char a = static_cast<unsigned char>(bytes[i]);
        const unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<wchar_t>(little ? (a | (b << 8)) : ((a << 8) | b)));
    }
    return text;
}

BltList ParseBuddyListFile(std::wstring_view text, std::vector<BltProblem>& problems)
{
    CBltReader reader(problems);
    return reader.Read(text);
}

HRESULT ReadBuddyList(AIMCC::IAccSession* session, BltList& list)
{
    if (!session)
        return E_POINTER;
    list = BltList();
    try {
        AIMCC::CAccString identity;
        if (SUCCEEDED(session->get_Identity(identity.Out())))
            list.screenName = identity.Text();
        ComPtr<AIMCC::IAccBuddyList> buddyList;
        HRESULT hr = session->get_BuddyList(&buddyList);
        if (FAILED(hr))
            return hr;
        if (!buddyList)
            return E_UNEXPECTED;
        long count = 0;
        if (FAILED(hr = buddyList->get_GroupCount(&count)))
            return hr;
        std::vector<ComPtr<AIMCC::IAccGroup>> offlineGroups;
        for (long i = 0; i < count; ++i) {
            ComPtr<AIMCC::IAccGroup> group;
            if (FAILED(buddyList->GetGroupByIndex(i, &group)) || !group)
                continue;
            if (ReadFlag(group.Get(), AIMCC::AccGroupProp::IsOfflineGroup)) {
                offlineGroups.push_back(group);
                continue;
            }
            AIMCC::CAccString name;
            if (FAILED(group->get_Name(name.Out())))
                continue;
            BltGroup out;
            out.name = name.Text();
            for (const ComPtr<AIMCC::IAccUser>& user : ListedBuddies(group.Get()))
                AddReadBuddy(user.Get(), out);
            list.groups.push_back(std::move(out));
        }
        for (const ComPtr<AIMCC::IAccGroup>& offline : offlineGroups)
            AddOfflineBuddies(offline.Get(), list);
        return S_OK;
    } catch (const AIMCC::CAccException& e) {
        return e.Error();
    }
}

HRESULT ImportBuddyList(AIMCC::IAccSession* session, const BltList& list, BltImportReport& report)
{
    if (!session)
        return E_POINTER;
    try {
        ComPtr<AIMCC::IAccBuddyList> buddyList;
        HRESULT hr = session->get_BuddyList(&buddyList);
        if (FAILED(hr))
            return hr;
        if (!buddyList)
            return E_UNEXPECTED;
        const long groupNameLimit = ReadLong(buddyList.Get(), AIMCC::AccBuddyListProp::GroupNameLimit, 0);
        std::vector<PendingDetails> pending;
        for (const BltGroup& source : list.groups) {
            if (groupNameLimit > 0 && source.name.size() > static_cast<size_t>(groupNameLimit)) {
                ReportGroupFailure(source.name, E_INVALIDARG, report);
                continue;
            }
            AIMCC::CAccString name(source.name.c_str());
            ComPtr<AIMCC::IAccGroup> group;
            hr = buddyList->GetGroupByName(name.Get(), &group);
            if (hr != S_OK || !group) {
                group.Reset();
                hr = buddyList->InsertGroup(name.Get(), -1, &group);
                if (FAILED(hr) || !group) {
                    ReportGroupFailure(source.name, FAILED(hr) ? hr : E_UNEXPECTED, report);
                    continue;
                }
                if (hr == S_OK)
                    ++report.groupsAdded;
            }
            if (ReadFlag(group.Get(), AIMCC::AccGroupProp::IsOfflineGroup)) {
                ReportGroupFailure(source.name, E_ACCESSDENIED, report);
                continue;
            }
            for (const BltBuddy& buddy : source.buddies)
                ImportBuddy(session, group.Get(), source, buddy, report, pending);
        }
        if (!pending.empty()) {
            WaitForConfirmation(pending);
            for (const PendingDetails& details : pending)
                SetDetails(details.user.Get(), *details.buddy);
        }
        return S_OK;
    } catch (const AIMCC::CAccException& e) {
        return e.Error();
    }
}

HRESULT WriteFileReplacing(const std::wstring& path, std::string_view bytes)
{
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash);
    wchar_t temp[MAX_PATH] = {};
    if (!GetTempFileNameW(folder.c_str(), L"blt", 0, temp))
        return HRESULT_FROM_WIN32(GetLastError());
    DWORD error = ERROR_SUCCESS;
    {
        ScopedHandle file(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            error = GetLastError();
        } else {
            size_t at = 0;
            while (at < bytes.size() && error == ERROR_SUCCESS) {
                const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
                DWORD written = 0;
                if (!WriteFile(file.get(), bytes.data() + at, chunk, &written, nullptr) || written != chunk)
                    error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
                at += written;
            }
            if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get()))
                error = GetLastError();
        }
    }
    if (error == ERROR_SUCCESS && !MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temp);
        return HRESULT_FROM_WIN32(error);
    }
    return S_OK;
}

void ExportBuddyListCommand(HWND owner, AIMCC::IAccSession* session)
{
    if (!session)
        return;
    wchar_t path[MAX_PATH] = {};
    if (!ChooseSaveFile(owner, LoadLangString(kStrChooseFile), path))
        return;
    BltList list;
    HRESULT hr = ReadBuddyList(session, list);
    if (SUCCEEDED(hr))
        hr = WriteFileReplacing(path, WideToUtf8(ComposeBuddyListFile(list)));
    if (FAILED(hr))
        ShowErrorBox(owner, FormatLangString(kStrExportFailed, {path, SystemErrorText(static_cast<DWORD>(hr))}),
                     MB_ICONERROR);
}

void ImportBuddyListCommand(HWND owner, AIMCC::IAccSession* session)
{
    if (!session)
        return;
    wchar_t path[MAX_PATH] = {};
    if (!ChooseFile(owner, LoadLangString(kStrChooseFile).c_str(), kFilter, path))
        return;
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes || bytes->empty())
        return;
    BltImportReport report;
    const BltList list = ParseBuddyListFile(DecodeBuddyListFile(*bytes), report.problems);
    // The import may wait for the server with messages running; the owner
    // takes no commands (another import) meanwhile.
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    const HRESULT hr = ImportBuddyList(session, list, report);
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    if (FAILED(hr)) {
        ShowErrorBox(owner, SystemErrorText(static_cast<DWORD>(hr)), MB_ICONERROR);
        return;
    }
    if (!report.problems.empty())
        ShowProblems(owner, report.problems);
}
