// How the AIM layer's own preferences ("aimcc.…") live in the settings file,
// shared by the preferences hook and the settings window, which writes some
// of them directly.
//
// A dotted name N is split at its last dot into section S and key K. A single
// value is the text's UTF-16LE bytes as a binary value at (S, K). A list is a
// whole section named N with keys "0", "1", … holding the elements the same
// way; such a section wins over a single value at (S, K).
#pragma once

#include <string>
#include <vector>

class CIni;

class CPreferenceStore {
public:
    explicit CPreferenceStore(const CIni& ini) : ini_(ini) {}

    bool IsList(const std::wstring& name) const;
    // A non-empty single value (false when missing or empty).
    bool ReadValue(const std::wstring& name, std::wstring& value) const;
    // The elements in file order (false when the name is no list).
    bool ReadList(const std::wstring& name, std::vector<std::wstring>& items) const;

    // Writing a single value drops a list of the same name, which would
    // otherwise hide it.
    bool WriteValue(const std::wstring& name, const std::wstring& value) const;
    // Replaces the whole list. An empty list leaves nothing behind, so it
    // reads as missing.
    bool WriteList(const std::wstring& name, const std::vector<std::wstring>& items) const;
    // The list section, or else the single value.
    bool Erase(const std::wstring& name) const;
    // "N.k" for every key k of the list N (false when N is no list).
    bool Children(const std::wstring& name, std::vector<std::wstring>& children) const;

    // The section and key a name is stored under.
    static void Split(const std::wstring& name, std::wstring& section, std::wstring& key);

private:
    std::wstring ReadText(const std::wstring& section, const std::wstring& key) const;
    bool WriteText(const std::wstring& section, const std::wstring& key, const std::wstring& text) const;

    const CIni& ini_;
};
