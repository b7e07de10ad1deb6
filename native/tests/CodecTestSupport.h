// Helpers shared by the codec suites: bytes from hex written as in the
// protocol reference, and a message sent through the whole stack (SNAC,
// FLAP, a stream cut into pieces) and read back.
#pragma once

#include "Oscar.h"

#include <gtest/gtest.h>

#include <string>

namespace codectest {

inline oscar::Bytes Hex(const std::string& text)
{
    oscar::Bytes bytes;
    EXPECT_TRUE(oscar::ParseHex(text, bytes)) << text;
    return bytes;
}

// Encodes `message` as a DATA frame, feeds the stream to a FlapReader in
// two pieces (so the reader must wait for the rest), decodes the SNAC and the
// message. Fails the test when any step does.
template <class M>
M ThroughWire(const M& message, uint32_t requestId = 7)
{
    using namespace oscar;
    FlapFrame frame;
    frame.sequence = 0x1234;
    frame.payload = EncodeSnac(MakeSnac(message, requestId));
    Bytes stream;
    EXPECT_TRUE(EncodeFlap(frame, stream));
    FlapReader reader;
    FlapFrame read;
    size_t half = stream.size() / 2;
    reader.Append(stream.data(), half);
    EXPECT_EQ(FlapParse::NeedMore, reader.Next(read));
    reader.Append(stream.data() + half, stream.size() - half);
    EXPECT_EQ(FlapParse::Frame, reader.Next(read));
    EXPECT_EQ(0x1234, read.sequence);
    Snac snac;
    EXPECT_TRUE(DecodeSnac(read.payload, snac));
    EXPECT_TRUE(snac.Is(M::kId));
    EXPECT_EQ(requestId, snac.requestId);
    M decoded;
    EXPECT_TRUE(Decode(snac.body, decoded));
    return decoded;
}

} // namespace codectest
