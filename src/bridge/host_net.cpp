#include "bridge/host_net.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace kiln::bridge::net {

namespace {

// Offsets of the program's addrinfo record.
constexpr size_t kFlags = 0, kFamily = 4, kSocktype = 8, kProtocol = 12;
constexpr size_t kAddrlen = 16, kCanonname = 24, kAddr = 32, kNext = 40;

void put32(unsigned char* record, size_t offset, int32_t v) { std::memcpy(record + offset, &v, 4); }
void put64(unsigned char* record, size_t offset, uint64_t v) { std::memcpy(record + offset, &v, 8); }
uint64_t addressOf(const void* p) { return reinterpret_cast<uintptr_t>(p); }
size_t align8(size_t n) { return (n + 7) & ~size_t{7}; }

// The heads of the lists resolve made and release has not freed yet.
std::unordered_set<uint64_t>& liveLists() {
    static std::unordered_set<uint64_t> lists;
    return lists;
}

// One block holds the whole converted list: the records first, then each
// socket address (8-aligned) and canonical name they point to.
unsigned char* convertList(const addrinfo* list) {
    size_t count = 0, total = 0;
    for (const addrinfo* a = list; a; a = a->ai_next) ++count;
    total = count * kAddrinfoSize;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        total = align8(total) + a->ai_addrlen;
        if (a->ai_canonname) total += std::strlen(a->ai_canonname) + 1;
    }
    auto* block = static_cast<unsigned char*>(std::calloc(1, total));
    if (!block) return nullptr;
    size_t tail = count * kAddrinfoSize;
    unsigned char* record = block;
    for (const addrinfo* a = list; a; a = a->ai_next, record += kAddrinfoSize) {
        put32(record, kFlags, a->ai_flags);
        put32(record, kFamily, a->ai_family);
        put32(record, kSocktype, a->ai_socktype);
        put32(record, kProtocol, a->ai_protocol);
        put64(record, kAddrlen, a->ai_addrlen);
        tail = align8(tail);
        if (a->ai_addr) {
            std::memcpy(block + tail, a->ai_addr, a->ai_addrlen);
            put64(record, kAddr, addressOf(block + tail));
        }
        tail += a->ai_addrlen;
        if (a->ai_canonname) {
            size_t n = std::strlen(a->ai_canonname) + 1;
            std::memcpy(block + tail, a->ai_canonname, n);
            put64(record, kCanonname, addressOf(block + tail));
            tail += n;
        }
        if (a->ai_next) put64(record, kNext, addressOf(record + kAddrinfoSize));
    }
    return block;
}

// Socket-level options in the program's numbering (level 0xffff).
constexpr int kProgramSocketLevel = 0xffff;
enum ProgramOption : int {
    kReuseAddr = 0x4, kKeepAlive = 0x8, kBroadcast = 0x20, kLinger = 0x80, kOobInline = 0x100,
    kSendBuffer = 0x1001, kReceiveBuffer = 0x1002, kSendTimeout = 0x1005, kReceiveTimeout = 0x1006,
};

int failWith(int error) {
    errno = error;
    return -1;
}

int hostSocketOption(int option) {
    switch (option) {
        case kReuseAddr: return SO_REUSEADDR;
        case kKeepAlive: return SO_KEEPALIVE;
        case kBroadcast: return SO_BROADCAST;
        case kOobInline: return SO_OOBINLINE;
        case kSendBuffer: return SO_SNDBUF;
        case kReceiveBuffer: return SO_RCVBUF;
        default: return -1;
    }
}

}  // namespace

int resolve(const char* node, const char* service, const void* hints, void* result) {
    if (!result) return EAI_FAIL;
    addrinfo host{};
    if (hints) {
        int32_t fields[4];
        std::memcpy(fields, hints, sizeof fields);
        host.ai_flags = fields[0];
        host.ai_family = fields[1];
        host.ai_socktype = fields[2];
        host.ai_protocol = fields[3];
    }
    addrinfo* list = nullptr;
    int rc = ::getaddrinfo(node, service, hints ? &host : nullptr, &list);
    if (rc != 0) return rc;
    unsigned char* head = list ? convertList(list) : nullptr;
    bool lost = list && !head;
    ::freeaddrinfo(list);
    if (lost) return EAI_MEMORY;
    if (head) liveLists().insert(addressOf(head));
    uint64_t value = addressOf(head);
    std::memcpy(result, &value, 8);
    return 0;
}

bool release(uint64_t head) {
    if (liveLists().erase(head) == 0) return false;
    std::free(reinterpret_cast<void*>(static_cast<uintptr_t>(head)));
    return true;
}

int setOption(int socket, int level, int option, const void* value, int64_t length) {
    if (level != kProgramSocketLevel)
        return ::setsockopt(socket, level, option, value, static_cast<socklen_t>(length));
    if (int host = hostSocketOption(option); host >= 0)
        return ::setsockopt(socket, SOL_SOCKET, host, value, static_cast<socklen_t>(length));
    if (option != kLinger && option != kSendTimeout && option != kReceiveTimeout) return failWith(ENOPROTOOPT);
    // These three have records of their own: two 16-bit fields for the
    // linger setting, a 32-bit count of milliseconds for the timeouts.
    if (!value) return failWith(EFAULT);
    if (length < 4) return failWith(EINVAL);
    if (option == kLinger) {
        uint16_t fields[2];
        std::memcpy(fields, value, sizeof fields);
        linger l{fields[0], fields[1]};
        return ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    uint32_t ms;
    std::memcpy(&ms, value, sizeof ms);
    timeval t{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000) * 1000};
    return ::setsockopt(socket, SOL_SOCKET, option == kSendTimeout ? SO_SNDTIMEO : SO_RCVTIMEO, &t, sizeof t);
}

int receiveFlags(int64_t flags) {
    int f = static_cast<int>(flags);
    if (f & 8) f = (f & ~8) | MSG_WAITALL;
    return f;
}

int sendFlags(int64_t flags) { return static_cast<int>(flags) | MSG_NOSIGNAL; }

std::string_view messageText(int code) { return code < 0 ? ::gai_strerror(code) : std::strerror(code); }

size_t toUtf16Line(std::string_view text, char16_t* out, size_t capacity) {
    if (capacity == 0) return 0;
    size_t n = 0, i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        uint32_t cp = 0xFFFD;
        size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > text.size()) {
            len = 1;
        } else {
            cp = len == 1 ? b : b & (0x7F >> len);
            for (size_t k = 1; k < len; ++k) {
                auto c = static_cast<unsigned char>(text[i + k]);
                if ((c >> 6) != 2) {
                    cp = 0xFFFD;
                    len = k;
                    break;
                }
                cp = (cp << 6) | (c & 0x3F);
            }
            if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        }
        if (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++len;  // one break, one space
        if (cp == '\r' || cp == '\n') cp = ' ';
        size_t units = cp > 0xFFFF ? 2 : 1;
        if (n + units >= capacity) break;
        if (units == 2) {
            out[n++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out[n++] = static_cast<char16_t>(cp);
        }
        i += len;
    }
    out[n] = 0;
    return n;
}

}  // namespace kiln::bridge::net
