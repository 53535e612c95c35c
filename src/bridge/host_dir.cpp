#include "bridge/host_dir.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace kiln::bridge::dir {

namespace {

int32_t typeOfMode(mode_t mode) {
    if (S_ISDIR(mode)) return kTypeDirectory;
    if (S_ISLNK(mode)) return kTypeLink;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return kTypeDevice;
    return kTypeRegular;
}

// Pipes, sockets and anything else that is neither a directory, a link nor
// a device count as regular files.
int32_t typeOf(DIR* dir, const dirent* e) {
    switch (e->d_type) {
        case DT_DIR: return kTypeDirectory;
        case DT_REG: return kTypeRegular;
        case DT_LNK: return kTypeLink;
        case DT_CHR:
        case DT_BLK: return kTypeDevice;
        case DT_UNKNOWN: {
            struct stat st;
            if (fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return kTypeRegular;
            return typeOfMode(st.st_mode);
        }
        default: return kTypeRegular;
    }
}

void put(unsigned char* record, size_t offset, const void* value, size_t width) {
    std::memcpy(record + offset, value, width);
}

}  // namespace

bool Stream::open(const char* name, int& error) {
    dir_ = ::opendir(name);
    if (dir_) return true;
    error = errno == EACCES ? 13 : errno == ENOTDIR ? 20 : 2;
    return false;
}

bool Stream::next(Entry& entry) {
    if (!dir_) return false;
    const dirent* e = ::readdir(dir_);
    if (!e) return false;
    entry.name = e->d_name;
    entry.type = typeOf(dir_, e);
    return true;
}

Stream::~Stream() {
    if (dir_) ::closedir(dir_);
}

int32_t nameHash(std::string_view name) {
    uint32_t h = 5381;
    size_t n = name.size() < 260 ? name.size() : 260;
    for (size_t i = 0; i < n; ++i) h = h * 33 + static_cast<unsigned char>(name[i]);
    return static_cast<int32_t>(h & 0x7fffffff);
}

void writeRecord(unsigned char* record, const Entry& entry, int32_t nextOffset) {
    std::memset(record, 0, kDirentSize);
    size_t n = entry.name.size() < kNameCapacity - 1 ? entry.name.size() : kNameCapacity - 1;
    uint16_t reclen = kDirentSize;
    uint64_t namlen = n;
    put(record, 4, &nextOffset, 4);
    put(record, 8, &reclen, 2);
    put(record, 16, &namlen, 8);
    put(record, 24, &entry.type, 4);
    put(record, 28, entry.name.data(), n);
}

}  // namespace kiln::bridge::dir
