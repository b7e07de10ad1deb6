// ByteReader and ByteWriter: the only code of the codec that touches raw wire
// bytes. Everything on an OSCAR connection is big-endian.
//
// The reader is bounds-checked and "sticky": the first read that would go past
// the end (or a length prefix that points past it) marks the reader failed,
// and every later read returns zero or empty without touching memory. A
// decoder therefore reads its fields one after another and asks Ok() once at
// the end, and no value read from a failed reader can size an allocation.
//
// The writer never produces a length prefix that disagrees with what follows:
// a string or block longer than its prefix can count is cut to the largest
// length the prefix can hold, and Ok() turns false so a caller that cares can
// refuse to send it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oscar {

using Bytes = std::vector<uint8_t>;

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const Bytes& bytes) : data_(bytes.data()), size_(bytes.size()) {}
    // The reader only points at its bytes: they must outlive it.
    explicit ByteReader(Bytes&&) = delete;

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    uint64_t U64();
    Bytes Take(size_t count);
    std::string TakeString(size_t count);
    std::string String08();              // u8 count, then bytes
    std::string String16();              // u16 count, then bytes
    void Skip(size_t count);
    Bytes Rest();                        // everything left; the reader is then at its end

    // A reader over the next `count` bytes, which this reader then skips; a
    // failed reader (or too few bytes) gives a failed sub-reader.
    ByteReader Sub(size_t count);

    // Marks the reader failed from outside, for a value that is in range but wrong.
    void Fail() { failed_ = true; }

    bool Ok() const { return !failed_; }
    size_t Remaining() const { return failed_ ? 0 : size_ - pos_; }
    bool AtEnd() const { return Remaining() == 0; }
    // Ok and nothing left over: for layouts whose length is fixed by the frame.
    bool Done() const { return Ok() && pos_ == size_; }

private:
    bool Need(size_t count);

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    bool failed_ = false;
};

class ByteWriter {
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void U64(uint64_t v);
    void Append(const Bytes& v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
    void Append(const uint8_t* data, size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
    void Append(std::string_view v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
    void String08(std::string_view v);
    void String16(std::string_view v);
    // A u16 byte count, then the bytes.
    void Block16(const Bytes& v);

    bool Ok() const { return ok_; }
    void Fail() { ok_ = false; }
    size_t Size() const { return bytes_.size(); }
    const Bytes& Data() const { return bytes_; }
    Bytes Take() { return std::move(bytes_); }

private:
    Bytes bytes_;
    bool ok_ = true;
};

// "2A 01 00 64" or "2a0100 64": hex digits with any spaces; used by tests and
// tools. Returns false on an odd digit count or a character that is not hex.
bool ParseHex(std::string_view text, Bytes& out);
std::string ToHex(const Bytes& bytes);      // "2A 01 00 64"

} // namespace oscar
