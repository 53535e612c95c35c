#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bridge/call.h"
#include "bridge/host_dir.h"

namespace kiln::testing {
namespace {

template <typename T>
T field(int64_t record, size_t offset) {
    T v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(static_cast<intptr_t>(record)) + offset, sizeof v);
    return v;
}

struct Record {
    std::string name;
    int32_t off, type;
    uint16_t reclen;
    uint64_t namlen;
    uint32_t ino;
};

class Directory : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kiln-dir-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        std::FILE* f = std::fopen((root_ + "/a.txt").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        ASSERT_EQ(mkdir((root_ + "/sub").c_str(), 0700), 0);
        ASSERT_EQ(symlink("a.txt", (root_ + "/ln").c_str()), 0);
    }
    void TearDown() override {
        unlink((root_ + "/ln").c_str());
        unlink((root_ + "/a.txt").c_str());
        rmdir((root_ + "/sub").c_str());
        rmdir(root_.c_str());
    }
    std::string root_;
};

TEST(DirectoryHash, IsDjb2MaskedTo31Bits) {
    EXPECT_EQ(bridge::dir::nameHash("a"), 5381 * 33 + 'a');
    uint32_t h = 5381;
    std::string longName(300, '\xe9');
    for (int i = 0; i < 260; ++i) h = h * 33 + 0xe9;
    EXPECT_EQ(bridge::dir::nameHash(longName), static_cast<int32_t>(h & 0x7fffffff));
}

TEST_F(Directory, ListsEveryEntryOnceWithItsTypeAndLookAhead) {
    int64_t handle = value(call("opendir", {addr(root_.c_str())}));
    ASSERT_NE(handle, 0);
    std::vector<Record> records;
    for (int i = 0; i < 10; ++i) {
        int64_t r = value(call("readdir", {num(handle)}));
        if (r == 0) break;
        EXPECT_EQ(r, handle);  // the record is the handle's own block
        records.push_back({std::string(reinterpret_cast<const char*>(r + 28)), field<int32_t>(r, 4),
                           field<int32_t>(r, 24), field<uint16_t>(r, 8), field<uint64_t>(r, 16),
                           field<uint32_t>(r, 0)});
    }
    EXPECT_EQ(value(call("readdir", {num(handle)})), 0);  // stays at the end
    std::map<std::string, int32_t> types;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& rec = records[i];
        EXPECT_TRUE(types.emplace(rec.name, rec.type).second) << rec.name << " twice";
        EXPECT_EQ(rec.namlen, rec.name.size());
        EXPECT_EQ(rec.reclen, 296);
        EXPECT_EQ(rec.ino, 0u);
        int32_t next = i + 1 < records.size() ? bridge::dir::nameHash(records[i + 1].name) : 0x7fffffff;
        EXPECT_EQ(rec.off, next) << rec.name;
    }
    std::map<std::string, int32_t> want{
        {".", 16384}, {"..", 16384}, {"a.txt", 32768}, {"sub", 16384}, {"ln", 49152}};
    EXPECT_EQ(types, want);
    EXPECT_EQ(value(call("closedir", {num(handle)})), 0);
}

TEST_F(Directory, ClosedAndUnknownHandlesAreBadHandles) {
    int64_t handle = value(call("opendir", {addr(root_.c_str())}));
    ASSERT_NE(handle, 0);
    EXPECT_EQ(value(call("closedir", {num(handle)})), 0);
    errno = 0;
    EXPECT_EQ(value(call("closedir", {num(handle)})), -1);
    EXPECT_EQ(errno, 9);
    errno = 0;
    EXPECT_EQ(value(call("readdir", {num(handle)})), 0);
    EXPECT_EQ(errno, 9);
    errno = 0;
    EXPECT_EQ(value(call("closedir", {num(0)})), -1);
    EXPECT_EQ(errno, 9);
    EXPECT_EQ(value(call("readdir", {num(12345)})), 0);
    EXPECT_EQ(atom(call("readdir", {lit("[x]")})), "Z");
}

TEST_F(Directory, OpenFailuresSetErrno) {
    auto opened = [](const void* name) {
        errno = 0;
        int64_t h = value(call("opendir", {addr(name)}));
        EXPECT_EQ(h, 0);
        return errno;
    };
    EXPECT_EQ(opened(""), 2);
    EXPECT_EQ(opened(nullptr), 2);
    EXPECT_EQ(opened((root_ + "/missing").c_str()), 2);
    EXPECT_EQ(opened((root_ + "/a.txt").c_str()), 20);
    EXPECT_EQ(atom(call("opendir", {lit("[/tmp]")})), "Z");
}

}  // namespace
}  // namespace kiln::testing
