// CIni: the settings store. Every setting of the program lives in one INI file
// and this class is the only code that touches it. It keeps no cache: each read
// and write goes to the file through the private-profile functions, so a value
// written by one window is seen at once by all the others.
//
// Conventions of the file: names compare without regard to case; values are
// single lines; booleans are "1"/"0"; binary values are two uppercase hex
// digits per byte. Reads never fail: whatever is missing reads as the default.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CIni {
public:
    CIni() = default;
    explicit CIni(const wchar_t* path) { SetPath(path); }
    virtual ~CIni() = default;

    // Null empties the path.
    void SetPath(const wchar_t* path);
    const std::wstring& Path() const { return path_; }

    // The value, the default, or "" when the default is null. Values of any
    // length come back whole.
    std::wstring GetString(const wchar_t* section, const wchar_t* key, const wchar_t* def = nullptr) const;

    // Copies at most `capacity` characters and always terminates after them,
    // so `buffer` must hold capacity + 1 characters. Returns the number of
    // characters copied, or the full length when `buffer` is null.
    DWORD GetStringBuf(const wchar_t* section, const wchar_t* key, wchar_t* buffer, DWORD capacity,
                       const wchar_t* def = nullptr) const;
    template <size_t N>
    DWORD GetStringBuf(const wchar_t* section, const wchar_t* key, wchar_t (&buffer)[N],
                       const wchar_t* def = nullptr) const
    {
        static_assert(N > 1, "room for at least one character and the terminator");
        return GetStringBuf(section, key, buffer, static_cast<DWORD>(N - 1), def);
    }

    // Line breaks in the value are folded to single spaces, so that no value
    // can add lines or sections to the file; text that must keep its line
    // breaks is stored with WriteBinary. A name the file cannot hold (a line
    // break in either, "]" in a section, "=" in a key) is refused (false).
    bool WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;

    bool KeyExists(const wchar_t* section, const wchar_t* key) const;
    bool DeleteKey(const wchar_t* section, const wchar_t* key) const;
    bool DeleteSection(const wchar_t* section) const;

    // "1", "true" and "yes" (any case) and any non-zero number are true.
    bool GetBool(const wchar_t* section, const wchar_t* key, bool def) const;
    bool WriteBool(const wchar_t* section, const wchar_t* key, bool value) const;
    bool ToggleBool(const wchar_t* section, const wchar_t* key) const;

    // Radix 2, 8 or 16; anything else means 10. Text is converted as wcstoul
    // does: leading blanks and a sign allowed, stops at the first non-digit.
    int GetInt(const wchar_t* section, const wchar_t* key, int def, int radix = 10) const;
    UINT GetUInt(const wchar_t* section, const wchar_t* key, UINT def, int radix = 10) const;
    bool WriteInt(const wchar_t* section, const wchar_t* key, int value, int radix = 10) const;
    bool WriteUInt(const wchar_t* section, const wchar_t* key, UINT value, int radix = 10) const;

    // With a null buffer: the number of bytes available after `offset`.
    // Otherwise converts min(size, available) bytes from `offset` on and
    // returns that count. A value with any non-hex character reads as 0 bytes.
    DWORD GetBinary(const wchar_t* section, const wchar_t* key, void* buffer, DWORD size, DWORD offset = 0) const;
    std::vector<BYTE> GetBinary(const wchar_t* section, const wchar_t* key) const;
    bool WriteBinary(const wchar_t* section, const wchar_t* key, const void* bytes, DWORD size) const;

    // Zero-separated, double-zero-terminated lists. With a null buffer these
    // return the capacity needed.
    DWORD GetSectionNames(wchar_t* buffer, DWORD capacity) const;
    DWORD GetSection(const wchar_t* section, wchar_t* buffer, DWORD capacity) const;
    DWORD GetKeyNames(const wchar_t* section, wchar_t* buffer, DWORD capacity) const;

    std::vector<std::wstring> SectionNames() const;
    std::vector<std::wstring> KeyNames(const wchar_t* section) const;
    bool SectionExists(const wchar_t* section) const;

    // Copies a value between keys; refuses (false) when source and target are
    // the same key, the source is missing, or `noOverwrite` is set and the
    // target exists.
    bool CopyKey(const wchar_t* fromSection, const wchar_t* fromKey, const wchar_t* toSection,
                 const wchar_t* toKey, bool noOverwrite) const;

private:
    std::wstring ReadShort(const wchar_t* section, const wchar_t* key) const;
    // The whole list of section names (null section) or the lines of one
    // section, zero-separated, and the buffer size at which it fitted.
    std::wstring ReadList(const wchar_t* section, DWORD* fittedSize = nullptr) const;

    std::wstring path_;
};
