// The message font: the formatting a new message starts with, kept as the
// 88-byte binary value "Font" of "Settings.MSG" (the signed-on user's
// section first, then the common one).
//
// Bytes: bold, italic, underline, one spare byte, then the HTML font size
// (1-7), text colour, text background and page colour (COLORREFs) as
// little-endian 32-bit numbers, then the face name in 33 UTF-16 units with a
// terminating NUL, and two spare bytes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class CIni;

struct FontRecord {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int size = 2;
    COLORREF textColor = 0;
    COLORREF textBackground = 0;
    COLORREF pageColor = 0;
    std::wstring face; // at most kMaxFace characters

    static constexpr size_t kBytes = 88;
    static constexpr size_t kFaceUnits = 33;
    static constexpr size_t kMaxFace = kFaceUnits - 1;

    bool operator==(const FontRecord& other) const;
};

// The stored form. A longer face is cut to kMaxFace characters and the size
// brought into 1-7.
std::vector<BYTE> SerializeFontRecord(const FontRecord& record);
// Nothing unless `bytes` is exactly one record whose face is terminated; the
// size is brought into 1-7.
std::optional<FontRecord> ParseFontRecord(const std::vector<BYTE>& bytes);

std::optional<FontRecord> ReadFontRecord(const CIni& ini, const std::wstring& screenName);
// Into the user's section when there is a user, else the common one.
bool WriteFontRecord(const CIni& ini, const std::wstring& screenName, const FontRecord& record);

int ClampFontSize(int size);
