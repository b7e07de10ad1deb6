#include "Md5.h"

#include "ByteStream.h"

#include <gtest/gtest.h>

#include <string>

using namespace oscar;

namespace {

std::string HexOf(const Md5Digest& d)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : d) {
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

TEST(Md5, Rfc1321TestSuite)
{
    struct Case {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.digest, HexOf(Md5::Of(c.input)));
    }
}

TEST(Md5, PiecesGiveTheDigestOfTheWhole)
{
    // Lengths around the 56- and 64-byte edges of the padding, fed in
    // uneven pieces, must match the digest of the same text in one piece.
    for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 200u}) {
        std::string text;
        for (size_t i = 0; i < length; ++i)
            text += static_cast<char>('a' + i % 26);
        for (size_t piece : {1u, 3u, 63u}) {
            SCOPED_TRACE(std::to_string(length) + "/" + std::to_string(piece));
            Md5 md5;
            for (size_t i = 0; i < text.size(); i += piece)
                md5.Update(text.substr(i, piece));
            EXPECT_EQ(Md5::Of(text), md5.Final());
        }
    }
    // A digest known from elsewhere for a two-block input.
    EXPECT_EQ("8215ef0796a20bcaaae116d3876c664a",
              HexOf(Md5::Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")));
}

} // namespace
