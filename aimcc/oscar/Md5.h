// MD5 (RFC 1321), for the login hash only: the login server expects
// MD5(key + MD5(password) + constant). No security rests on it beyond what the
// protocol itself offers, and it must build without any platform library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace oscar {

using Md5Digest = std::array<uint8_t, 16>;

class Md5 {
public:
    Md5();
    void Update(const void* data, size_t size);
    void Update(std::string_view text) { Update(text.data(), text.size()); }
    // Ends the computation; the object must not be updated afterwards.
    Md5Digest Final();

    static Md5Digest Of(std::string_view text);

private:
    void Block(const uint8_t* block);

    uint32_t state_[4];
    uint64_t length_ = 0;          // bytes seen so far
    uint8_t buffer_[64];
    size_t buffered_ = 0;
};

} // namespace oscar
