#include "PictureSize.h"

#include "ScopedHandle.h"

#include <cstdint>

namespace {

constexpr DWORD kHeaderBytes = 43;

class FileReader {
public:
    explicit FileReader(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    bool open() const { return file_.valid(); }

    // Reads up to `count` bytes; the number read.
    DWORD Read(uint8_t* buffer, DWORD count)
    {
        DWORD total = 0;
        while (total < count) {
            DWORD got = 0;
            if (!ReadFile(file_.get(), buffer + total, count - total, &got, nullptr) || got == 0)
                break;
            total += got;
        }
        return total;
    }
    bool ReadExactly(uint8_t* buffer, DWORD count) { return Read(buffer, count) == count; }
    bool Seek(int64_t position)
    {
        LARGE_INTEGER to;
        to.QuadPart = position;
        return SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) != FALSE;
    }
    int64_t Position()
    {
        LARGE_INTEGER zero = {};
        LARGE_INTEGER at = {};
        SetFilePointerEx(file_.get(), zero, &at, FILE_CURRENT);
        return at.QuadPart;
    }

private:
    ScopedHandle file_;
};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint32_t Be32(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// A start-of-frame marker carries the picture size. C4 (Huffman tables), C8
// (reserved) and CC (arithmetic conditioning) sit in the same range but do not.
bool IsFrameHeader(uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: TEM, the restart markers, SOI.
bool HasNoLength(uint8_t marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
}

bool ScanJpeg(FileReader& file, PictureInfo& picture)
{
    if (!file.Seek(2))
        return false;
    for (;;) {
        uint8_t byte = 0;
        if (!file.ReadExactly(&byte, 1) || byte != 0xFF)
            return false;
        // Any number of 0xFF fill bytes may stand before the marker code.
        uint8_t marker = 0xFF;
        while (marker == 0xFF) {
            if (!file.ReadExactly(&marker, 1))
                return false;
        }
        if (HasNoLength(marker))
            continue;
        // End of image or start of scan: the frame header would have come before.
        if (marker == 0xD9 || marker == 0xDA)
            return false;
        uint8_t lengthBytes[2];
        if (!file.ReadExactly(lengthBytes, 2))
            return false;
        const uint16_t length = Be16(lengthBytes);
        // The length counts its own two bytes; less would step backwards.
        if (length < 2)
            return false;
        if (IsFrameHeader(marker)) {
            uint8_t frame[6];
            if (!file.ReadExactly(frame, 6))
                return false;
            picture.type = PictureType::Jpeg;
            picture.height = Be16(frame + 1);
            picture.width = Be16(frame + 3);
            return true;
        }
        if (!file.Seek(file.Position() + (length - 2)))
            return false;
    }
}

} // namespace

bool ReadPictureSize(PictureInfo& picture)
{
    picture.type = PictureType::None;
    FileReader file(picture.path);
    if (!file.open())
        return false;
    uint8_t header[kHeaderBytes] = {};
    file.Read(header, kHeaderBytes);

    if (header[0] == 'G' && header[1] == 'I' && header[2] == 'F') {
        picture.type = PictureType::Gif;
        picture.width = Le16(header + 6);
        picture.height = Le16(header + 8);
        return true;
    }
    if (header[0] == 0x89 && header[1] == 'P' && header[2] == 'N') {
        picture.type = PictureType::Png;
        picture.width = static_cast<int>(Be32(header + 16));
        picture.height = static_cast<int>(Be32(header + 20));
        return true;
    }
    if (header[0] == 0xFF && header[1] == 0xD8)
        return ScanJpeg(file, picture);
    if (header[0] == 'B' && header[1] == 'M') {
        picture.type = PictureType::Bmp;
        picture.width = static_cast<int32_t>(Le32(header + 18));
        picture.height = static_cast<int32_t>(Le32(header + 22));
        return true;
    }
    return false;
}
