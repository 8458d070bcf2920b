#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/mqtt_inbound.h"

using namespace ravelin;

namespace {
bool feedBytewise(InboundPacketLimit& limit, const std::vector<unsigned char>& bytes) {
    for (unsigned char b : bytes)
        if (!limit.feed(&b, 1)) return false;
    return true;
}

// A packet of type PUBLISH with `length` body bytes, the body left out.
std::vector<unsigned char> header(std::uint64_t length) {
    std::vector<unsigned char> out{0x30};
    do {
        unsigned char b = length % 128;
        length /= 128;
        out.push_back(b | (length ? 0x80 : 0));
    } while (length);
    return out;
}
}  // namespace

TEST(InboundPacketLimit, FollowsPacketsAcrossAnyChunkingAndRefusesOneOverTheBound) {
    // CONNACK, PINGRESP, a PUBACK, then a packet of exactly the bound with its body.
    std::vector<unsigned char> stream{0x20, 0x02, 0x00, 0x00, 0xd0, 0x00, 0x40, 0x02, 0x00, 0x07};
    const auto big = header(kMaxInboundPacket);
    stream.insert(stream.end(), big.begin(), big.end());
    stream.resize(stream.size() + kMaxInboundPacket, 'x');
    InboundPacketLimit bytewise;
    EXPECT_TRUE(feedBytewise(bytewise, stream));
    InboundPacketLimit whole;
    EXPECT_TRUE(whole.feed(stream.data(), stream.size()));
    // One byte more than the bound, after a CONNACK in the same chunk: refused, the CONNACK passed on.
    std::vector<unsigned char> over{0x20, 0x02, 0x00, 0x00};
    const auto h = header(kMaxInboundPacket + 1);
    over.insert(over.end(), h.begin(), h.end());
    EXPECT_FALSE(whole.feed(over.data(), over.size()));
    EXPECT_EQ(whole.beforeFault(), 4u);
    EXPECT_NE(whole.fault().find("65537-byte packet"), std::string::npos) << whole.fault();
    EXPECT_FALSE(whole.feed(over.data(), 1));  // stays refused
}

TEST(InboundPacketLimit, RefusesTheLargestLengthAndAMalformedOne) {
    InboundPacketLimit limit;
    EXPECT_FALSE(feedBytewise(limit, header(268435455)));
    EXPECT_NE(limit.fault().find("268435455-byte"), std::string::npos);
    InboundPacketLimit malformed;
    EXPECT_FALSE(feedBytewise(malformed, {0x30, 0xff, 0xff, 0xff, 0xff, 0x01}));
    EXPECT_NE(malformed.fault().find("malformed"), std::string::npos);
}

TEST(BrokerRelay, PassesTrafficBothWaysAndDropsABrokerAnnouncingAHugePacket) {
    // The "broker": a listening socket of the test's own.
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(server, 1), 0);
    ::getsockname(server, reinterpret_cast<sockaddr*>(&a), &len);

    BrokerRelay relay;
    std::string error;
    ASSERT_TRUE(relay.connect("127.0.0.1", ntohs(a.sin_port), std::chrono::seconds(5), [] { return false; }, error))
        << error;
    const int broker = ::accept(server, nullptr, nullptr);
    std::string listenError;
    const int port = relay.listen(listenError);
    ASSERT_GT(port, 0) << listenError;
    // A stranger connecting first is turned away; the client named by its port is taken.
    const int stranger = ::socket(AF_INET, SOCK_STREAM, 0);
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = a;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    ASSERT_EQ(::connect(stranger, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    sockaddr_in own{};
    len = sizeof own;
    ::getsockname(client, reinterpret_cast<sockaddr*>(&own), &len);
    ASSERT_TRUE(relay.accept(ntohs(own.sin_port)));
    char buf[64];
    EXPECT_EQ(::recv(stranger, buf, sizeof buf, 0), 0);  // closed on it

    ASSERT_EQ(::send(client, "\x10\x00", 2, 0), 2);
    ASSERT_EQ(::recv(broker, buf, sizeof buf, 0), 2);
    // CONNACK, then a PUBLISH announcing 256 MiB: the CONNACK arrives, then the end of the connection.
    const unsigned char hostile[] = {0x20, 0x02, 0x00, 0x00, 0x30, 0xff, 0xff, 0xff, 0x7f, 0x00, 0x01, 't'};
    ASSERT_EQ(::send(broker, hostile, sizeof hostile, 0), static_cast<ssize_t>(sizeof hostile));
    std::string got;
    for (ssize_t n; (n = ::recv(client, buf, sizeof buf, 0)) > 0;) got.append(buf, static_cast<std::size_t>(n));
    EXPECT_EQ(got, std::string("\x20\x02\x00\x00", 4));
    EXPECT_NE(relay.fault().find("268435455-byte packet"), std::string::npos) << relay.fault();
    EXPECT_EQ(::recv(broker, buf, sizeof buf, 0), 0);  // the broker's side is closed too
    relay.close();
    for (int fd : {server, broker, stranger, client}) ::close(fd);
}

TEST(BrokerRelay, SaysWhyItCannotConnect) {
    // A port just freed: nothing listens there.
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    BrokerRelay relay;
    std::string error;
    EXPECT_FALSE(relay.connect("127.0.0.1", ntohs(a.sin_port), std::chrono::seconds(2), [] { return false; }, error));
    EXPECT_EQ(error, "Connection refused");
    EXPECT_FALSE(relay.connect("no-such-host.invalid", 1883, std::chrono::seconds(2), [] { return false; }, error));
    EXPECT_EQ(error, "host name not found");
}
