// Sockets and name resolution. A socket is its descriptor; records that
// differ between the host and what programs see go through host_net.
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "bridge/args.h"
#include "bridge/families.h"
#include "bridge/host_net.h"

namespace kiln::bridge {

namespace {

sockaddr* socketAddress(const Arg& a) { return static_cast<sockaddr*>(pointerOf(a)); }
socklen_t* lengthCell(const Arg& a) { return static_cast<socklen_t*>(pointerOf(a)); }
int narrow(const Arg& a) { return static_cast<int>(a.i); }

CellRef failWith(int error, int64_t result) {
    errno = error;
    return signedResult(result);
}

CellRef socketCall(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    return signedResult(::socket(narrow(a[0]), narrow(a[1]), narrow(a[2])));
}

CellRef bindCall(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    return signedResult(::bind(narrow(a[0]), socketAddress(a[1]), static_cast<socklen_t>(a[2].i)));
}

CellRef listenCall(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "II", a)) return failure();
    return signedResult(::listen(narrow(a[0]), narrow(a[1])));
}

CellRef acceptCall(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    return signedResult(::accept(narrow(a[0]), socketAddress(a[1]), lengthCell(a[2])));
}

CellRef connectCall(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    return signedResult(::connect(narrow(a[0]), socketAddress(a[1]), static_cast<socklen_t>(a[2].i)));
}

CellRef shutdownCall(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "II", a)) return failure();
    return signedResult(::shutdown(narrow(a[0]), narrow(a[1])));
}

CellRef closesocketCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return signedResult(::close(narrow(a[0])));
}

CellRef getpeernameCall(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    return signedResult(::getpeername(narrow(a[0]), socketAddress(a[1]), lengthCell(a[2])));
}

CellRef gethostnameCall(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "II", a)) return failure();
    if (!pointerOf(a[0])) return failWith(EFAULT, -1);
    return signedResult(::gethostname(static_cast<char*>(pointerOf(a[0])), static_cast<size_t>(a[1].i)));
}

CellRef getaddrinfoCall(CellRef app) {
    Arg a[4];
    if (!readArgs(app.get(), "IIII", a)) return failure();
    return signedResult(net::resolve(static_cast<const char*>(pointerOf(a[0])), static_cast<const char*>(pointerOf(a[1])),
                                     pointerOf(a[2]), pointerOf(a[3])));
}

CellRef freeaddrinfoCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    net::release(static_cast<uint64_t>(a[0].i));
    return unitResult();
}

CellRef getnameinfoCall(CellRef app) {
    Arg a[7];
    if (!readArgs(app.get(), "IIIIIII", a)) return failure();
    if (!pointerOf(a[0])) return signedResult(EAI_FAMILY);
    return signedResult(::getnameinfo(socketAddress(a[0]), static_cast<socklen_t>(a[1].i),
                                      static_cast<char*>(pointerOf(a[2])), static_cast<socklen_t>(a[3].i),
                                      static_cast<char*>(pointerOf(a[4])), static_cast<socklen_t>(a[5].i),
                                      narrow(a[6])));
}

// Overwritten by every call, as the C function's own buffer would be.
char16_t gMessage[1024];

CellRef gaiStrerrorCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    net::toUtf16Line(net::messageText(narrow(a[0])), gMessage, sizeof gMessage / sizeof gMessage[0]);
    return pointerResult(gMessage);
}

CellRef recvCall(CellRef app) {
    Arg a[4];
    if (!readArgs(app.get(), "IIII", a)) return failure();
    return signedResult(::recv(narrow(a[0]), pointerOf(a[1]), static_cast<size_t>(a[2].i), net::receiveFlags(a[3].i)));
}

CellRef recvfromCall(CellRef app) {
    Arg a[6];
    if (!readArgs(app.get(), "IIIIII", a)) return failure();
    return signedResult(::recvfrom(narrow(a[0]), pointerOf(a[1]), static_cast<size_t>(a[2].i),
                                   net::receiveFlags(a[3].i), socketAddress(a[4]), lengthCell(a[5])));
}

CellRef sendCall(CellRef app) {
    Arg a[4];
    if (!readArgs(app.get(), "ITII", a)) return failure();
    size_t n = readableBytes(a[1], static_cast<uint64_t>(a[2].i));
    return signedResult(::send(narrow(a[0]), a[1].text, n, net::sendFlags(a[3].i)));
}

CellRef sendtoCall(CellRef app) {
    Arg a[6];
    if (!readArgs(app.get(), "ITIIII", a)) return failure();
    size_t n = readableBytes(a[1], static_cast<uint64_t>(a[2].i));
    return signedResult(::sendto(narrow(a[0]), a[1].text, n, net::sendFlags(a[3].i), socketAddress(a[4]),
                                 static_cast<socklen_t>(a[5].i)));
}

CellRef setsockoptCall(CellRef app) {
    Arg a[5];
    if (!readArgs(app.get(), "IIIII", a)) return failure();
    return signedResult(net::setOption(narrow(a[0]), narrow(a[1]), narrow(a[2]), pointerOf(a[3]), a[4].i));
}

CellRef htonlCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return signedResult(htonl(static_cast<uint32_t>(a[0].i)));
}

CellRef htonsCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return signedResult(htons(static_cast<uint16_t>(a[0].i)));
}

CellRef ntohlCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return unsignedResult(ntohl(static_cast<uint32_t>(a[0].i)));
}

CellRef ntohsCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return unsignedResult(ntohs(static_cast<uint16_t>(a[0].i)));
}

CellRef inetPtonCall(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    if (!pointerOf(a[1]) || !pointerOf(a[2])) return failWith(EFAULT, -1);
    return signedResult(::inet_pton(narrow(a[0]), static_cast<const char*>(pointerOf(a[1])), pointerOf(a[2])));
}

CellRef inetNtopCall(CellRef app) {
    Arg a[4];
    if (!readArgs(app.get(), "IIII", a)) return failure();
    if (!pointerOf(a[1]) || !pointerOf(a[2])) return failWith(EFAULT, 0);
    return pointerResult(::inet_ntop(narrow(a[0]), pointerOf(a[1]), static_cast<char*>(pointerOf(a[2])),
                                     static_cast<socklen_t>(a[3].i)));
}

// The size of a descriptor set: a 32-bit count, padding, 64 handles of 8 bytes.
CellRef fdSetSize(CellRef) { return signedResult(520); }

}  // namespace

void registerSockets(Registry& r) {
    r.bind("socket", 3, socketCall);
    r.bind("bind", 3, bindCall);
    r.bind("listen", 2, listenCall);
    r.bind("accept", 3, acceptCall);
    r.bind("connect", 3, connectCall);
    r.bind("shutdown", 2, shutdownCall);
    r.bind("closesocket", 1, closesocketCall);
    r.bind("getpeername", 3, getpeernameCall);
    r.bind("gethostname", 2, gethostnameCall);
    r.bind("getaddrinfo", 4, getaddrinfoCall);
    r.bind("freeaddrinfo", 1, freeaddrinfoCall);
    r.bind("getnameinfo", 7, getnameinfoCall);
    r.bind("gai_strerror", 1, gaiStrerrorCall);
    r.bind("recv", 4, recvCall);
    r.bind("recvfrom", 6, recvfromCall);
    r.bind("send", 4, sendCall);
    r.bind("sendto", 6, sendtoCall);
    r.bind("setsockopt", 5, setsockoptCall);
    r.bind("htonl", 1, htonlCall);
    r.bind("htons", 1, htonsCall);
    r.bind("ntohl", 1, ntohlCall);
    r.bind("ntohs", 1, ntohsCall);
    r.bind("inet_pton", 3, inetPtonCall);
    r.bind("inet_ntop", 4, inetNtopCall);
    r.bind("fd_set", 0, fdSetSize);
}

}  // namespace kiln::bridge
