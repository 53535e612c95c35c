// Raw memory: allocation, byte ranges, loads and stores.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bridge/call.h"

using namespace kiln;
using namespace kiln::testing;

TEST(BridgeMemory, LoadsExtendAsTheirWidthSays) {
    unsigned char b[16];
    std::memset(b, 0xFF, sizeof b);
    EXPECT_EQ(value(call("getx", {addr(b)})), 255);
    EXPECT_EQ(value(call("gety", {addr(b)})), -1);
    EXPECT_EQ(value(call("gett", {addr(b)})), 65535);
    EXPECT_EQ(value(call("getv", {addr(b)})), -1);
    EXPECT_EQ(value(call("getu", {addr(b)})), 4294967295LL);
    EXPECT_EQ(value(call("gets", {addr(b)})), -1);
    EXPECT_EQ(value(call("getw", {addr(b)})), -1);
    EXPECT_EQ(value(call("getz", {addr(b)})), -1);
    EXPECT_EQ(builtinTable().at("getw").handler, builtinTable().at("getz").handler);

    // The sign bit alone, at an odd address.
    unsigned char* p = b + 1;
    std::memset(b, 0, sizeof b);
    p[1] = 0x80;
    EXPECT_EQ(value(call("gett", {addr(p)})), 32768);
    EXPECT_EQ(value(call("getv", {addr(p)})), -32768);
    p[1] = 0;
    p[3] = 0x80;
    EXPECT_EQ(value(call("getu", {addr(p)})), 2147483648LL);
    EXPECT_EQ(value(call("gets", {addr(p)})), -2147483648LL);
    p[0] = 0x7F;
    EXPECT_EQ(value(call("getx", {addr(p)})), 127);
    EXPECT_EQ(value(call("gety", {addr(p)})), 127);
    EXPECT_EQ(atom(call("getw", {addr(p)})), std::to_string(int64_t{0x000000008000007F}));
}

TEST(BridgeMemory, StoresWriteTheLowBits) {
    unsigned char b[9] = {};
    EXPECT_EQ(atom(call("setx", {addr(b), num(256)})), "I");
    EXPECT_EQ(b[0], 0);
    call("setx", {addr(b), num(-1)});
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 0);
    call("sett", {addr(b + 1), num(0x12345)});
    EXPECT_EQ(value(call("gett", {addr(b + 1)})), 0x2345);
    call("setu", {addr(b + 1), num(0x123456789LL)});
    EXPECT_EQ(value(call("getu", {addr(b + 1)})), 0x23456789);
    call("setw", {addr(b + 1), num(-2)});
    EXPECT_EQ(value(call("getw", {addr(b + 1)})), -2);
    EXPECT_EQ(b[0], 0xFF);  // nothing written below the address
}

TEST(BridgeMemory, AllocationFailureAnswersZero) {
    errno = 0;
    EXPECT_EQ(value(call("malloc", {num(-1)})), 0);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(value(call("malloc", {num(INT64_MAX)})), 0);
    EXPECT_EQ(value(call("calloc", {num(INT64_MAX), num(16)})), 0);
    EXPECT_EQ(value(call("calloc", {num(-1), num(-1)})), 0);
    void* p = std::malloc(8);
    EXPECT_EQ(value(call("realloc", {addr(p), num(-8)})), 0);
    std::free(p);  // a failed realloc leaves the block alone
}

TEST(BridgeMemory, AllocateUseAndFree) {
    int64_t p = value(call("calloc", {num(4), num(8)}));
    ASSERT_NE(p, 0);
    EXPECT_EQ(value(call("getw", {num(p + 24)})), 0);
    call("setw", {num(p + 24), num(99)});
    int64_t q = value(call("realloc", {num(p), num(64)}));
    ASSERT_NE(q, 0);
    EXPECT_EQ(value(call("getw", {num(q + 24)})), 99);
    EXPECT_EQ(atom(call("free", {num(q)})), "I");
    int64_t m = value(call("malloc", {num(16)}));
    ASSERT_NE(m, 0);
    call("free", {num(m)});
}

TEST(BridgeMemory, ByteRanges) {
    char a[8] = "abcdefg";
    char b[8] = "abcxefg";
    EXPECT_EQ(value(call("memset", {addr(a), num('z' + 256), num(2)})), value(addr(a)));
    EXPECT_STREQ(a, "zzcdefg");
    EXPECT_LT(value(call("memcmp", {addr(a + 2), addr(b + 2), num(2)})), 0);
    EXPECT_EQ(value(call("memcmp", {addr(a + 2), addr(b + 2), num(1)})), 0);
    EXPECT_EQ(value(call("memchr", {addr(a), num('e'), num(7)})), value(addr(a + 4)));
    EXPECT_EQ(value(call("memchr", {addr(a), num('q'), num(7)})), 0);
    EXPECT_EQ(value(call("memcpy", {addr(a), addr(b + 3), num(2)})), value(addr(a)));
    EXPECT_STREQ(a, "xecdefg");
    EXPECT_EQ(value(call("memmove", {addr(a + 1), addr(a), num(4)})), value(addr(a + 1)));
    EXPECT_STREQ(a, "xxecdfg");
    EXPECT_EQ(atom(call("bzero", {addr(a + 2), num(5)})), "I");
    EXPECT_EQ(std::memcmp(a, "xx\0\0\0\0\0", 8), 0);
}

TEST(BridgeMemory, EmptyRangesTouchNothing) {
    EXPECT_EQ(value(call("memcpy", {num(0), num(0), num(0)})), 0);
    EXPECT_EQ(value(call("memmove", {num(0), num(0), num(0)})), 0);
    EXPECT_EQ(value(call("memset", {num(0), num(1), num(0)})), 0);
    EXPECT_EQ(value(call("memcmp", {num(0), num(0), num(0)})), 0);
    EXPECT_EQ(value(call("memchr", {num(0), num(1), num(0)})), 0);
    EXPECT_EQ(atom(call("bzero", {num(0), num(0)})), "I");
}
