#include "ByteStream.h"

namespace oscar {

bool ByteReader::Need(size_t count)
{
    if (failed_ || count > size_ - pos_) {
        failed_ = true;
        return false;
    }
    return true;
}

uint8_t ByteReader::U8()
{
    if (!Need(1))
        return 0;
    return data_[pos_++];
}

uint16_t ByteReader::U16()
{
    if (!Need(2))
        return 0;
    uint16_t v = static_cast<uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
    pos_ += 2;
    return v;
}

uint32_t ByteReader::U32()
{
    if (!Need(4))
        return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | data_[pos_ + i];
    pos_ += 4;
    return v;
}

uint64_t ByteReader::U64()
{
    if (!Need(8))
        return 0;
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | data_[pos_ + i];
    pos_ += 8;
    return v;
}

Bytes ByteReader::Take(size_t count)
{
    if (!Need(count))
        return {};
    Bytes out(data_ + pos_, data_ + pos_ + count);
    pos_ += count;
    return out;
}

std::string ByteReader::TakeString(size_t count)
{
    if (!Need(count))
        return {};
    std::string out(reinterpret_cast<const char*>(data_ + pos_), count);
    pos_ += count;
    return out;
}

std::string ByteReader::String08()
{
    size_t count = U8();
    return TakeString(count);
}

std::string ByteReader::String16()
{
    size_t count = U16();
    return TakeString(count);
}

void ByteReader::Skip(size_t count)
{
    if (Need(count))
        pos_ += count;
}

Bytes ByteReader::Rest()
{
    return Take(Remaining());
}

ByteReader ByteReader::Sub(size_t count)
{
    if (!Need(count)) {
        ByteReader failed;
        failed.failed_ = true;
        return failed;
    }
    ByteReader sub(data_ + pos_, count);
    pos_ += count;
    return sub;
}

void ByteWriter::U16(uint16_t v)
{
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
    bytes_.push_back(static_cast<uint8_t>(v));
}

void ByteWriter::U32(uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes_.push_back(static_cast<uint8_t>(v >> shift));
}

void ByteWriter::U64(uint64_t v)
{
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes_.push_back(static_cast<uint8_t>(v >> shift));
}

void ByteWriter::String08(std::string_view v)
{
    if (v.size() > 0xFF) {
        ok_ = false;
        v = v.substr(0, 0xFF);
    }
    U8(static_cast<uint8_t>(v.size()));
    Append(v);
}

void ByteWriter::String16(std::string_view v)
{
    if (v.size() > 0xFFFF) {
        ok_ = false;
        v = v.substr(0, 0xFFFF);
    }
    U16(static_cast<uint16_t>(v.size()));
    Append(v);
}

void ByteWriter::Block16(const Bytes& v)
{
    size_t count = v.size();
    if (count > 0xFFFF) {
        ok_ = false;
        count = 0xFFFF;
    }
    U16(static_cast<uint16_t>(count));
    Append(v.data(), count);
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHex(std::string_view text, Bytes& out)
{
    out.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t')
            continue;
        int d = HexDigit(c);
        if (d < 0)
            return false;
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | d));
            high = -1;
        }
    }
    return high < 0;
}

std::string ToHex(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

} // namespace oscar
