#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "bridge/call.h"
#include "bridge/host_net.h"

namespace kiln::testing {
namespace {

template <typename T>
T field(const void* record, size_t offset) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(record) + offset, sizeof v);
    return v;
}

std::u16string utf16(const CellRef& address) {
    const auto* p = reinterpret_cast<const char16_t*>(static_cast<intptr_t>(value(address)));
    return p ? std::u16string(p) : std::u16string();
}

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A socket of the given type bound to 127.0.0.1 on a free port.
int boundSocket(int type, uint16_t& port) {
    int s = static_cast<int>(value(call("socket", {num(AF_INET), num(type), num(0)})));
    sockaddr_in a = loopback(0);
    EXPECT_EQ(value(call("bind", {num(s), addr(&a), num(sizeof a)})), 0);
    socklen_t n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    port = ntohs(a.sin_port);
    return s;
}

TEST(Sockets, ByteOrder) {
    EXPECT_EQ(value(call("htons", {num(0x1234)})), 13330);
    EXPECT_EQ(value(call("htonl", {num(0x01020304)})), 0x04030201);
    EXPECT_EQ(value(call("htonl", {num(-1)})), 4294967295);
    EXPECT_EQ(atom(call("ntohs", {num(13330)})), "4660");
    EXPECT_EQ(atom(call("ntohl", {num(0x000000ff)})), "4278190080");
    EXPECT_EQ(atom(call("htons", {lit("[1]")})), "Z");
    EXPECT_EQ(value(call("fd_set")), 520);
}

TEST(Sockets, GetaddrinfoAnswersRecordsInTheProgramLayout) {
    unsigned char hints[48] = {};
    int32_t flags = AI_NUMERICHOST | AI_CANONNAME, family = AF_INET, type = SOCK_STREAM;
    std::memcpy(hints + 0, &flags, 4);
    std::memcpy(hints + 4, &family, 4);
    std::memcpy(hints + 8, &type, 4);
    unsigned char cell[12];
    std::memset(cell, 0xAA, sizeof cell);
    ASSERT_EQ(value(call("getaddrinfo", {addr("127.0.0.1"), addr("8080"), addr(hints), addr(cell + 2)})), 0);
    EXPECT_EQ(cell[1], 0xAA);
    EXPECT_EQ(cell[10], 0xAA);
    auto* head = reinterpret_cast<unsigned char*>(field<uintptr_t>(cell, 2));
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(field<int32_t>(head, 4), AF_INET);
    EXPECT_EQ(field<int32_t>(head, 8), SOCK_STREAM);
    EXPECT_EQ(field<int32_t>(head, 12), IPPROTO_TCP);
    EXPECT_EQ(field<uint64_t>(head, 16), sizeof(sockaddr_in));
    EXPECT_STREQ(field<const char*>(head, 24), "127.0.0.1");
    EXPECT_EQ(field<uint64_t>(head, 40), 0u);
    auto* sa = field<const unsigned char*>(head, 32);
    ASSERT_NE(sa, nullptr);
    EXPECT_EQ(field<uint16_t>(sa, 0), AF_INET);
    EXPECT_EQ(field<uint16_t>(sa, 2), htons(8080));
    EXPECT_EQ(field<uint32_t>(sa, 4), htonl(INADDR_LOOPBACK));
    CellRef list = num(static_cast<int64_t>(reinterpret_cast<intptr_t>(head)));
    EXPECT_EQ(atom(call("freeaddrinfo", {list})), "I");
    EXPECT_EQ(atom(call("freeaddrinfo", {list})), "I");  // already freed: left alone
    EXPECT_EQ(atom(call("freeaddrinfo", {num(0)})), "I");
    EXPECT_EQ(atom(call("freeaddrinfo", {addr(hints)})), "I");
}

TEST(Sockets, GetaddrinfoListsAreLinkedThroughTheNextField) {
    unsigned char hints[48] = {};
    int32_t flags = AI_NUMERICHOST, family = AF_INET;  // every socket type: several records
    std::memcpy(hints + 0, &flags, 4);
    std::memcpy(hints + 4, &family, 4);
    uintptr_t head = 0;
    ASSERT_EQ(value(call("getaddrinfo", {addr("127.0.0.1"), num(0), addr(hints), addr(&head)})), 0);
    int count = 0;
    for (auto* r = reinterpret_cast<const unsigned char*>(head); r; r = field<const unsigned char*>(r, 40)) {
        ++count;
        EXPECT_EQ(field<uint64_t>(r, 24), 0u);  // no canonical name asked for
        EXPECT_EQ(field<uint32_t>(field<const unsigned char*>(r, 32), 4), htonl(INADDR_LOOPBACK));
    }
    EXPECT_GT(count, 1);
    call("freeaddrinfo", {num(static_cast<int64_t>(head))});
}

TEST(Sockets, GetaddrinfoFailures) {
    unsigned char hints[48] = {};
    int32_t flags = AI_NUMERICHOST;
    std::memcpy(hints, &flags, 4);
    uint64_t cell = 7;
    EXPECT_EQ(value(call("getaddrinfo", {addr("no such host"), num(0), addr(hints), addr(&cell)})), EAI_NONAME);
    EXPECT_EQ(cell, 7u);
    EXPECT_EQ(value(call("getaddrinfo", {addr("127.0.0.1"), num(0), addr(hints), num(0)})), EAI_FAIL);
    EXPECT_EQ(atom(call("getaddrinfo", {lit("[127.0.0.1]"), num(0), addr(hints), addr(&cell)})), "Z");
    EXPECT_EQ(atom(call("freeaddrinfo", {lit("[x]")})), "Z");
}

TEST(Sockets, GaiStrerrorFillsOneWideBuffer) {
    CellRef first = call("gai_strerror", {num(EAI_NONAME)});
    std::string want = gai_strerror(EAI_NONAME);
    EXPECT_EQ(utf16(first), std::u16string(want.begin(), want.end()));
    CellRef second = call("gai_strerror", {num(ECONNREFUSED)});
    EXPECT_EQ(value(first), value(second));  // the same static buffer
    EXPECT_EQ(utf16(second), u"Connection refused");
}

TEST(Sockets, Utf16LinesTurnBreaksIntoSpaces) {
    char16_t out[8];
    EXPECT_EQ(bridge::net::toUtf16Line("a\r\nb\nc", out, 8), 5u);
    EXPECT_EQ(std::u16string(out), u"a b c");
    EXPECT_EQ(bridge::net::toUtf16Line("\xc3\xa9\xf0\x9f\x98\x80", out, 8), 3u);
    EXPECT_EQ(std::u16string(out), u"\u00e9\U0001F600");
    EXPECT_EQ(bridge::net::toUtf16Line("\xff" "a\xc3", out, 8), 3u);
    EXPECT_EQ(std::u16string(out), u"\ufffda\ufffd");
    EXPECT_EQ(bridge::net::toUtf16Line("abcdefghij", out, 4), 3u);  // room for the terminator
    EXPECT_EQ(std::u16string(out), u"abc");
    EXPECT_EQ(bridge::net::toUtf16Line("ab\xf0\x9f\x98\x80", out, 4), 2u);  // no half pair
}

TEST(Sockets, TcpOverLoopback) {
    uint16_t port = 0;
    int server = boundSocket(SOCK_STREAM, port);
    ASSERT_EQ(value(call("listen", {num(server), num(4)})), 0);
    int client = static_cast<int>(value(call("socket", {num(AF_INET), num(SOCK_STREAM), num(0)})));
    sockaddr_in to = loopback(port);
    ASSERT_EQ(value(call("connect", {num(client), addr(&to), num(sizeof to)})), 0);
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    int peer = static_cast<int>(value(call("accept", {num(server), addr(&from), addr(&fromLength)})));
    ASSERT_GE(peer, 0);
    EXPECT_EQ(fromLength, sizeof from);
    timeval limit{5, 0};  // a fault here fails the test instead of hanging it
    setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

    // A text sends at most its own bytes; an address sends what is asked.
    EXPECT_EQ(value(call("send", {num(client), makeByteString("hello"), num(3), num(0)})), 3);
    EXPECT_EQ(value(call("send", {num(client), lit("[ok]"), num(1000), num(0)})), 5);  // and its NUL
    EXPECT_EQ(value(call("send", {num(client), addr("xyz"), num(2), num(0)})), 2);
    char buf[32] = {};
    EXPECT_EQ(value(call("recv", {num(peer), addr(buf), num(10), num(8)})), 10);  // 8: wait for all
    EXPECT_EQ(std::string(buf, 10), std::string("hel[ok]\0xy", 10));

    sockaddr_in seen{};
    socklen_t seenLength = sizeof seen;
    EXPECT_EQ(value(call("getpeername", {num(peer), addr(&seen), addr(&seenLength)})), 0);
    EXPECT_EQ(seen.sin_port, from.sin_port);
    char text[INET_ADDRSTRLEN];
    EXPECT_EQ(value(call("inet_ntop", {num(AF_INET), addr(&seen.sin_addr), addr(text), num(sizeof text)})),
              static_cast<int64_t>(reinterpret_cast<intptr_t>(text)));
    EXPECT_STREQ(text, "127.0.0.1");

    EXPECT_EQ(value(call("shutdown", {num(client), num(SHUT_WR)})), 0);
    EXPECT_EQ(value(call("recv", {num(peer), addr(buf), num(sizeof buf), num(0)})), 0);  // orderly close
    EXPECT_EQ(value(call("closesocket", {num(client)})), 0);
    // Sending to a closed peer fails with -1 instead of stopping the process.
    int64_t sent = 0;
    for (int i = 0; i < 50 && sent >= 0; ++i) sent = value(call("send", {num(peer), addr(buf), num(16), num(0)}));
    EXPECT_EQ(sent, -1);
    EXPECT_EQ(value(call("closesocket", {num(peer)})), 0);
    EXPECT_EQ(value(call("closesocket", {num(server)})), 0);
    EXPECT_EQ(value(call("closesocket", {num(server)})), -1);
}

TEST(Sockets, UdpSendtoAndRecvfrom) {
    uint16_t portA = 0, portB = 0;
    int a = boundSocket(SOCK_DGRAM, portA);
    int b = boundSocket(SOCK_DGRAM, portB);
    sockaddr_in to = loopback(portB);
    EXPECT_EQ(value(call("sendto", {num(a), lit("[ping]"), num(6), num(0), addr(&to), num(sizeof to)})), 6);
    char buf[16] = {};
    sockaddr_in from{};
    socklen_t length = sizeof from;
    EXPECT_EQ(value(call("recvfrom", {num(b), addr(buf), num(sizeof buf), num(0), addr(&from), addr(&length)})), 6);
    EXPECT_STREQ(buf, "[ping]");
    EXPECT_EQ(ntohs(from.sin_port), portA);
    close(a);
    close(b);
}

TEST(Sockets, SocketLevelOptionsInEitherNumbering) {
    int s = static_cast<int>(value(call("socket", {num(AF_INET), num(SOCK_STREAM), num(0)})));
    int32_t one = 1;
    EXPECT_EQ(value(call("setsockopt", {num(s), num(0xffff), num(4), addr(&one), num(4)})), 0);
    int got = 0;
    socklen_t n = sizeof got;
    getsockopt(s, SOL_SOCKET, SO_REUSEADDR, &got, &n);
    EXPECT_EQ(got, 1);
    EXPECT_EQ(value(call("setsockopt", {num(s), num(SOL_SOCKET), num(SO_KEEPALIVE), addr(&one), num(4)})), 0);
    uint32_t ms = 1500;
    EXPECT_EQ(value(call("setsockopt", {num(s), num(0xffff), num(0x1006), addr(&ms), num(4)})), 0);
    timeval t{};
    n = sizeof t;
    getsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &t, &n);
    EXPECT_EQ(t.tv_sec, 1);
    EXPECT_EQ(t.tv_usec, 500000);
    uint16_t lingerFields[2] = {1, 3};
    EXPECT_EQ(value(call("setsockopt", {num(s), num(0xffff), num(0x80), addr(lingerFields), num(4)})), 0);
    linger l{};
    n = sizeof l;
    getsockopt(s, SOL_SOCKET, SO_LINGER, &l, &n);
    EXPECT_EQ(l.l_onoff, 1);
    EXPECT_EQ(l.l_linger, 3);
    errno = 0;
    EXPECT_EQ(value(call("setsockopt", {num(s), num(0xffff), num(0x9999), addr(&one), num(4)})), -1);
    EXPECT_EQ(errno, ENOPROTOOPT);
    EXPECT_EQ(value(call("setsockopt", {num(s), num(0xffff), num(0x1005), num(0), num(4)})), -1);
    EXPECT_EQ(value(call("setsockopt", {num(s), num(0xffff), num(0x1005), addr(&ms), num(2)})), -1);
    close(s);
}

TEST(Sockets, AddressTextsAndNames) {
    unsigned char dst[4] = {};
    EXPECT_EQ(value(call("inet_pton", {num(AF_INET), addr("127.0.0.1"), addr(dst)})), 1);
    EXPECT_EQ(dst[0], 127);
    EXPECT_EQ(dst[3], 1);
    EXPECT_EQ(value(call("inet_pton", {num(AF_INET), addr("300.1.1.1"), addr(dst)})), 0);
    EXPECT_EQ(value(call("inet_pton", {num(AF_INET), addr("127.0.0.1"), num(0)})), -1);
    char text[4];
    EXPECT_EQ(value(call("inet_ntop", {num(AF_INET), addr(dst), addr(text), num(sizeof text)})), 0);  // too small
    EXPECT_EQ(value(call("inet_ntop", {num(AF_INET), num(0), addr(text), num(sizeof text)})), 0);

    char name[256] = {}, want[256] = {};
    EXPECT_EQ(value(call("gethostname", {addr(name), num(sizeof name)})), 0);
    gethostname(want, sizeof want);
    EXPECT_STREQ(name, want);
    EXPECT_EQ(value(call("gethostname", {num(0), num(16)})), -1);

    sockaddr_in a = loopback(80);
    char host[64] = {}, service[16] = {};
    EXPECT_EQ(value(call("getnameinfo", {addr(&a), num(sizeof a), addr(host), num(sizeof host), addr(service),
                                         num(sizeof service), num(NI_NUMERICHOST | NI_NUMERICSERV)})),
              0);
    EXPECT_STREQ(host, "127.0.0.1");
    EXPECT_STREQ(service, "80");
    EXPECT_EQ(value(call("getnameinfo", {num(0), num(16), addr(host), num(64), num(0), num(0), num(0)})),
              EAI_FAMILY);
    EXPECT_EQ(atom(call("socket", {lit("[2]"), num(1), num(0)})), "Z");
}

}  // namespace
}  // namespace kiln::testing
