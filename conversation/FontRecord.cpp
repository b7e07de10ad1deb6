#include "FontRecord.h"

#include "AccountSettings.h"
#include "Ini.h"

#include <algorithm>

namespace {

constexpr wchar_t kSettingsGroup[] = L"Settings.MSG";
constexpr wchar_t kFontKey[] = L"Font";

constexpr size_t kSizeOffset = 4;
constexpr size_t kTextColorOffset = 8;
constexpr size_t kTextBackgroundOffset = 12;
constexpr size_t kPageColorOffset = 16;
constexpr size_t kFaceOffset = 20;

void PutUInt32(std::vector<BYTE>& bytes, size_t offset, DWORD value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

DWORD GetUInt32(const std::vector<BYTE>& bytes, size_t offset)
{
    DWORD value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= static_cast<DWORD>(bytes[offset + i]) << (8 * i);
    return value;
}

} // namespace

bool FontRecord::operator==(const FontRecord& other) const
{
    return bold == other.bold && italic == other.italic && underline == other.underline && size == other.size &&
           textColor == other.textColor && textBackground == other.textBackground &&
           pageColor == other.pageColor && face == other.face;
}

int ClampFontSize(int size)
{
    return std::clamp(size, 1, 7);
}

std::vector<BYTE> SerializeFontRecord(const FontRecord& record)
{
    std::vector<BYTE> bytes(FontRecord::kBytes, 0);
    bytes[0] = record.bold ? 1 : 0;
    bytes[1] = record.italic ? 1 : 0;
    bytes[2] = record.underline ? 1 : 0;
    PutUInt32(bytes, kSizeOffset, static_cast<DWORD>(ClampFontSize(record.size)));
    PutUInt32(bytes, kTextColorOffset, record.textColor);
    PutUInt32(bytes, kTextBackgroundOffset, record.textBackground);
    PutUInt32(bytes, kPageColorOffset, record.pageColor);
    const size_t units = std::min(record.face.size(), FontRecord::kMaxFace);
    for (size_t i = 0; i < units; ++i) {
        const wchar_t unit = record.face[i];
        bytes[kFaceOffset + 2 * i] = static_cast<BYTE>(unit & 0xFF);
        bytes[kFaceOffset + 2 * i + 1] = static_cast<BYTE>(unit >> 8);
    }
    return bytes;
}

std::optional<FontRecord> ParseFontRecord(const std::vector<BYTE>& bytes)
{
    if (bytes.size() != FontRecord::kBytes)
        return std::nullopt;
    std::wstring face;
    bool terminated = false;
    for (size_t i = 0; i < FontRecord::kFaceUnits; ++i) {
        const wchar_t unit =
            static_cast<wchar_t>(bytes[kFaceOffset + 2 * i] | (bytes[kFaceOffset + 2 * i + 1] << 8));
        if (unit == L'\0') {
            terminated = true;
            break;
        }
        face.push_back(unit);
    }
    if (!terminated)
        return std::nullopt;
    FontRecord record;
    record.bold = bytes[0] != 0;
    record.italic = bytes[1] != 0;
    record.underline = bytes[2] != 0;
    record.size = ClampFontSize(static_cast<int>(GetUInt32(bytes, kSizeOffset)));
    record.textColor = GetUInt32(bytes, kTextColorOffset);
    record.textBackground = GetUInt32(bytes, kTextBackgroundOffset);
    record.pageColor = GetUInt32(bytes, kPageColorOffset);
    record.face = face;
    return record;
}

std::optional<FontRecord> ReadFontRecord(const CIni& ini, const std::wstring& screenName)
{
    // A user's own record that is damaged does not hide the common one.
    if (!screenName.empty()) {
        const std::wstring section = AccountSection(kSettingsGroup, screenName);
        if (auto record = ParseFontRecord(ini.GetBinary(section.c_str(), kFontKey)))
            return record;
    }
    return ParseFontRecord(ini.GetBinary(kSettingsGroup, kFontKey));
}

bool WriteFontRecord(const CIni& ini, const std::wstring& screenName, const FontRecord& record)
{
    const std::wstring section = AccountSection(kSettingsGroup, screenName);
    const std::vector<BYTE> bytes = SerializeFontRecord(record);
    return ini.WriteBinary(section.c_str(), kFontKey, bytes.data(), static_cast<DWORD>(bytes.size()));
}
