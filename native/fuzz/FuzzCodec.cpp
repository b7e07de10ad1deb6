// Fuzz target for the OSCAR codec. The input is read three ways: as a TCP
// stream cut into FLAP frames (fed in two pieces, as a socket would), each
// DATA frame's SNAC decoded by the decoder its ID names; as the body of every
// message type; and as the loose pieces (user-info block, feedbag item, TLV
// blocks). Whatever decodes must encode, and decode again to the same bytes:
// a decoder that accepts what its encoder cannot reproduce is a bug too.
#include "Oscar.h"

#include <cstdio>
#include <cstdlib>

using namespace oscar;

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz: %s\n", what);
        std::abort();
    }
}

template <class M>
void Stable(const Bytes& body)
{
    M first;
    if (!Decode(body, first))
        return;
    Bytes once = Encode(first);
    M second;
    Check(Decode(once, second), "a decoded message does not decode after encoding");
    Check(Encode(second) == once, "encoding is not stable");
}

void AllMessages(const Bytes& body)
{
    Stable<SnacError>(body);
    Stable<SignonFrame>(body);
    Stable<bucp::ChallengeRequest>(body);
    Stable<bucp::ChallengeResponse>(body);
    Stable<bucp::LoginRequest>(body);
    Stable<bucp::LoginResponse>(body);
    Stable<oservice::HostOnline>(body);
    Stable<oservice::ClientVersions>(body);
    Stable<oservice::Motd>(body);
    Stable<oservice::RateParamsReply>(body);
    Stable<oservice::RateParamsSubscribe>(body);
    Stable<oservice::RateParamChange>(body);
    Stable<oservice::ClientOnline>(body);
    Stable<oservice::UserInfoUpdate>(body);
    Stable<oservice::EvilNotification>(body);
    Stable<oservice::IdleNotification>(body);
    Stable<oservice::SetUserInfoFields>(body);
    Stable<oservice::ServiceRequest>(body);
    Stable<oservice::ServiceResponse>(body);
    Stable<locate::RightsReply>(body);
    Stable<locate::SetInfo>(body);
    Stable<locate::UserInfoQuery>(body);
    Stable<locate::UserInfoQuery2>(body);
    Stable<locate::UserInfoReply>(body);
    Stable<buddy::RightsReply>(body);
    Stable<buddy::Arrived>(body);
    Stable<buddy::AddBuddies>(body);
    Stable<icbm::Params>(body);
    Stable<icbm::ChannelMsgToHost>(body);
    Stable<icbm::ChannelMsgToClient>(body);
    Stable<icbm::HostAck>(body);
    Stable<icbm::ClientError>(body);
    Stable<icbm::ClientEvent>(body);
    Stable<icbm::EvilRequest>(body);
    Stable<icbm::EvilReply>(body);
    Stable<feedbag::RightsReply>(body);
    Stable<feedbag::QueryIfModified>(body);
    Stable<feedbag::Reply>(body);
    Stable<feedbag::InsertItems>(body);
    Stable<feedbag::Status>(body);
    Stable<feedbag::StartCluster>(body);
}

void Pieces(const Bytes& bytes)
{
    {
        ByteReader r(bytes);
        UserInfo info = ReadUserInfo(r);
        if (r.Ok()) {
            info.Flags();
            info.Capabilities();
            ByteWriter w;
            WriteUserInfo(w, info);
            ByteReader again(w.Data());
            ReadUserInfo(again);
            Check(again.Done(), "a user-info block does not read back");
        }
    }
    {
        ByteReader r(bytes);
        feedbag::Item item = feedbag::ReadItem(r);
        if (r.Ok()) {
            item.Order();
            feedbag::FeedbagList list{{item, item}};
            list.Groups();
            list.Buddies(item.groupId);
            list.NewItemId();
        }
    }
    for (auto read : {ReadTlvRest, ReadTlvCounted, ReadTlvSized}) {
        ByteReader r(bytes);
        read(r);
    }
    icbm::InstantMessage im;
    if (icbm::DecodeImData(bytes, im)) {
        im.TextUtf8();
        icbm::InstantMessage again;
        Check(icbm::DecodeImData(icbm::EncodeImData(im), again), "IM data does not read back");
        Check(again.TextUtf8() == im.TextUtf8(), "IM text changed on the way");
    }
    icbm::ImText text;
    text.charset = icbm::charset::kUcs2;
    text.text = bytes;
    icbm::ImText::FromUtf8(text.ToUtf8());
    icbm::ImText::FromUtf8(std::string(bytes.begin(), bytes.end())).ToUtf8();
    Capability cap;
    ParseCapability(std::string(bytes.begin(), bytes.end()), cap);
    std::string host;
    uint16_t port;
    bucp::SplitHostPort(std::string(bytes.begin(), bytes.end()), host, port);
}

void DecodeByIdNamed(const Snac& snac)
{
    SnacId id = snac.Id();
    const Bytes& b = snac.body;
    if (id.subgroup == kSubgroupError)
        return Stable<SnacError>(b);
    if (id == bucp::kChallengeRequest)
        return Stable<bucp::ChallengeRequest>(b);
    if (id == bucp::kLoginRequest)
        return Stable<bucp::LoginRequest>(b);
    if (id == bucp::kLoginResponse)
        return Stable<bucp::LoginResponse>(b);
    if (id == oservice::kRateParamsReply)
        return Stable<oservice::RateParamsReply>(b);
    if (id == oservice::kUserInfoUpdate)
        return Stable<oservice::UserInfoUpdate>(b);
    if (id == locate::kUserInfoReply)
        return Stable<locate::UserInfoReply>(b);
    if (id == buddy::kArrived || id == buddy::kDeparted)
        return Stable<buddy::Arrived>(b);
    if (id == icbm::kChannelMsgToHost)
        return Stable<icbm::ChannelMsgToHost>(b);
    if (id == icbm::kChannelMsgToClient) {
        icbm::ChannelMsgToClient m;
        icbm::InstantMessage im;
        if (Decode(b, m))
            icbm::ImFromTlvs(m.tlvs, im);
        return Stable<icbm::ChannelMsgToClient>(b);
    }
    if (id == feedbag::kReply)
        return Stable<feedbag::Reply>(b);
    if (id == feedbag::kInsertItems || id == feedbag::kUpdateItems || id == feedbag::kDeleteItems)
        return Stable<feedbag::InsertItems>(b);
    AllMessages(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FlapReader reader;
    size_t split = size ? data[0] % (size + 1) : 0;
    reader.Append(data, split);
    FlapFrame frame;
    for (int pass = 0; pass < 2; ++pass) {
        FlapParse result;
        while ((result = reader.Next(frame)) == FlapParse::Frame) {
            Bytes again;
            Check(EncodeFlap(frame, again), "a parsed frame does not encode");
            if (frame.channel == flap::kSignon) {
                Stable<SignonFrame>(frame.payload);
            } else if (frame.channel == flap::kData) {
                Snac snac;
                if (DecodeSnac(frame.payload, snac)) {
                    Check(EncodeSnac(snac) == frame.payload, "a SNAC does not encode back");
                    DecodeByIdNamed(snac);
                }
            }
        }
        if (pass == 0)
            reader.Append(data + split, size - split);
    }

    Bytes bytes(data, data + size);
    AllMessages(bytes);
    Pieces(bytes);
    return 0;
}
