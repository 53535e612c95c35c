// Where the host's socket library differs from what programs see.
//
// Programs see `addrinfo` records of 48 bytes: ai_flags, ai_family,
// ai_socktype, ai_protocol (4 bytes each at 0, 4, 8, 12), ai_addrlen (8 at
// 16), ai_canonname (8 at 24), ai_addr (8 at 32), ai_next (8 at 40). The
// host's record orders the pointers differently and has a 4-byte length, so
// hints are read from the program's layout and answers are converted into
// it. Socket options named with the level 0xffff are translated from that
// numbering to the host's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kiln::bridge::net {

constexpr size_t kAddrinfoSize = 48;

// getaddrinfo over program-visible records: node and service are
// NUL-terminated texts or null, hints a program record or null. On success
// the head of a converted list is stored in *result (8 bytes, unaligned
// allowed) and 0 answered; otherwise the host's error code, nothing stored.
int resolve(const char* node, const char* service, const void* hints, void* result);

// Frees a list that resolve made; anything else (null, an address resolve
// did not answer, a list already freed) is left alone. True when freed.
bool release(uint64_t head);

// setsockopt with the program's level and option numbers.
int setOption(int socket, int level, int option, const void* value, int64_t length);

// The host's receive flags for the program's (8 asks to wait for all).
int receiveFlags(int64_t flags);
// The host's send flags: a send never raises a signal on a closed peer.
int sendFlags(int64_t flags);

// The host's message text for a resolver code (negative) or an error
// number (zero or positive).
std::string_view messageText(int code);

// Writes text as UTF-16 into out (capacity units, the last one for the
// terminating 0), turning line breaks into spaces; malformed bytes become
// U+FFFD. Answers the units written without the terminator.
size_t toUtf16Line(std::string_view text, char16_t* out, size_t capacity);

}  // namespace kiln::bridge::net
