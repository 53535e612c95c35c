// The host's directory streams, and the directory-entry record programs see.
//
// The record is 296 bytes: d_ino (4 at 0, always 0), d_off (4 at 4, a
// 31-bit hash of the next entry's name, 0x7fffffff after the last), d_reclen
// (2 at 8, always 296), d_namlen (8 at 16), d_type (4 at 24) and d_name
// (261 at 28, NUL-terminated); the bytes between and after are zero.
#pragma once

#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kiln::bridge::dir {

constexpr size_t kDirentSize = 296;
constexpr size_t kNameCapacity = 261;  // d_name, its NUL included

// d_type as programs see it.
constexpr int32_t kTypeDevice = 8192;
constexpr int32_t kTypeDirectory = 16384;
constexpr int32_t kTypeRegular = 32768;
constexpr int32_t kTypeLink = 49152;

// d_off of the last entry.
constexpr int32_t kLastOffset = 0x7fffffff;

struct Entry {
    std::string name;
    int32_t type = 0;
};

// One open host directory stream, closed with the object.
class Stream {
public:
    // Opens the named directory; on failure answers false and sets error to
    // the error number programs see (2, 13 or 20).
    bool open(const char* name, int& error);
    // The next entry the system reports; false after the last.
    bool next(Entry& entry);
    ~Stream();

private:
    DIR* dir_ = nullptr;
};

// djb2 over at most the first 260 bytes of the name, masked to 31 bits.
int32_t nameHash(std::string_view name);

// Fills the 296 bytes of a record for the entry.
void writeRecord(unsigned char* record, const Entry& entry, int32_t nextOffset);

}  // namespace kiln::bridge::dir
