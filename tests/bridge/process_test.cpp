// Argument classes, process builtins and constants.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bridge/args.h"
#include "bridge/call.h"
#include "cells/values.h"

using namespace kiln;
using namespace kiln::testing;

namespace {

CellRef pairOf(const char* a, const char* b) { return makePair(lit(a), lit(b)); }

}  // namespace

TEST(BridgeArgs, TextClassesPointAtTheRightBytes) {
    EXPECT_EQ(value(call("strlen", {lit("[abc]")})), 5);  // brackets included
    EXPECT_EQ(value(call("strlen", {makeByteString("abc")})), 3);
    EXPECT_EQ(value(call("strlen", {makeByteString(std::string_view("ab\0c", 4))})), 2);
    EXPECT_EQ(value(call("strlen", {makeByteString("")})), 0);
    char buf[] = "hello";
    EXPECT_EQ(value(call("strlen", {addr(buf)})), 5);
}

TEST(BridgeArgs, PairOfTextsIsFlattenedForTheCall) {
    EXPECT_EQ(value(call("strlen", {pairOf("[ab]", "[cd]")})), 6);
    CellRef nested = makePair(pairOf("[a]", "[]"), pairOf("[b]", "[c[d]]"));
    EXPECT_EQ(value(call("strcmp", {nested, lit("[abc[d]]")})), 0);
}

TEST(BridgeArgs, HugeSharedTextsFailInsteadOfBeingBuilt) {
    CellRef t = lit("[ab]");
    for (int i = 0; i < 4; ++i) t = makePair(t, t);
    EXPECT_EQ(value(call("strlen", {t})), 2 * 16 + 2);
    for (int i = 4; i < 48; ++i) t = makePair(t, t);  // 2^49 bytes
    EXPECT_EQ(atom(call("strlen", {t})), "Z");
}

TEST(BridgeArgs, ReadArgsReportsLengthsOfValuesOnly) {
    bridge::Arg a[2];
    CellRef app = apply(apply(makeAtom("strcmp"), makeByteString("xyz")), num(1234));
    ASSERT_TRUE(bridge::readArgs(app.get(), "TT", a));
    EXPECT_EQ(a[0].length, 3);
    EXPECT_EQ(std::string(a[0].text), "xyz");
    EXPECT_EQ(a[1].length, -1);
    EXPECT_EQ(a[1].i, 1234);
    EXPECT_EQ(bridge::readableBytes(a[0], 100), 4u);  // its bytes and the NUL after them
    EXPECT_EQ(bridge::readableBytes(a[0], 4), 4u);
    EXPECT_EQ(bridge::readableBytes(a[0], 2), 2u);
    EXPECT_EQ(bridge::readableBytes(a[1], 100), 100u);
}

TEST(BridgeArgs, WrongClassesAnswerZ) {
    // Names (not bound here, so not definable ones), reals, binary fractions and non-text pairs are no texts.
    EXPECT_EQ(atom(call("strlen", {makeAtom("Foo")})), "Z");
    EXPECT_EQ(atom(call("strlen", {makeReal(1.5)})), "Z");
    EXPECT_EQ(atom(call("strlen", {makeAtom("001")})), "Z");
    EXPECT_EQ(atom(call("strlen", {makePair(makeAtom("Foo"), makeAtom("Bar"))})), "Z");
    // Integers are not reals, and texts are not integers.
    EXPECT_EQ(atom(call("malloc", {lit("[8]")})), "Z");
    EXPECT_EQ(atom(call("srand", {makeReal(2.0)})), "Z");
}

TEST(BridgeArgs, EveryArgumentIsTestedBeforeTheCall) {
    char dst[4] = "abc";
    char src[4] = "xyz";
    // The last argument is wrong: nothing is copied.
    EXPECT_EQ(atom(call("memcpy", {addr(dst), addr(src), lit("[3]")})), "Z");
    EXPECT_STREQ(dst, "abc");
    EXPECT_EQ(atom(call("setx", {addr(dst), makeAtom("H")})), "Z");
    EXPECT_STREQ(dst, "abc");
}

TEST(BridgeArgs, UncheckedAddressesStillRefuseNonIntegers) {
    EXPECT_EQ(atom(call("free", {lit("[x]")})), "Z");
    EXPECT_EQ(atom(call("getw", {makeReal(0.0)})), "Z");
    EXPECT_EQ(atom(call("getx", {makeAtom("001")})), "Z");
    EXPECT_EQ(atom(call("memset", {num(0), num(0), makeAtom("Foo")})), "Z");
    EXPECT_EQ(atom(call("free", {num(0)})), "I");
}

TEST(BridgeProcess, Constants) {
    const std::pair<const char*, int64_t> rows[] = {
        {"eacces", 13},       {"ebadf", 9},       {"econnaborted", 103}, {"efault", 14},  {"eintr", 4},
        {"einval", 22},       {"eio", 5},         {"emfile", 24},        {"enfile", 23},  {"enodev", 19},
        {"enomem", 12},       {"enotsock", 88},   {"enxio", 6},          {"eopnotsupp", 95},
        {"eoverflow", 75},    {"ewouldblock", 11}, {"addrinfo", 48},     {"dirent", 296}, {"time_t", 8},
        {"af_unspec", 0},     {"ai_passive", 1},  {"sock_stream", 1},    {"rand_max", 32767},
    };
    for (const auto& [name, v] : rows) EXPECT_EQ(value(call(name)), v) << name;
    EXPECT_EQ(atom(call("af_unspec")), "0");
    EXPECT_EQ(builtinTable().at("ai_passive").handler, builtinTable().at("sock_stream").handler);
    EXPECT_EQ(value(call("enomem")), ENOMEM);
}

TEST(BridgeProcess, RandStaysWithinRandMaxAndFollowsTheSeed) {
    call("srand", {num(42)});
    std::vector<int64_t> first;
    for (int i = 0; i < 1000; ++i) {
        int64_t r = value(call("rand"));
        EXPECT_GE(r, 0);
        EXPECT_LE(r, 32767);
        first.push_back(r);
    }
    call("srand", {num(42)});
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(value(call("rand")), first[i]);
}

TEST(BridgeProcess, GetenvAndErrno) {
    ::setenv("KILN_BRIDGE_TEST", "value", 1);
    EXPECT_STREQ(cText(call("getenv", {makeByteString("KILN_BRIDGE_TEST")})), "value");
    ::unsetenv("KILN_BRIDGE_TEST");
    EXPECT_EQ(value(call("getenv", {makeByteString("KILN_BRIDGE_TEST")})), 0);
    errno = 0;
    EXPECT_EQ(value(call("remove", {makeByteString("/nonexistent/kiln/file")})), -1);
    EXPECT_EQ(value(call("errno")), ENOENT);
}

TEST(BridgeProcess, SystemAnswersTheWaitStatus) {
    EXPECT_EQ(value(call("system", {makeByteString("exit 3")})), 3 << 8);
    EXPECT_NE(value(call("system", {num(0)})), 0);  // a shell is there
}

TEST(BridgeProcess, AssertOfTruthsAndOthers) {
    EXPECT_EQ(atom(call("assert", {makeAtom("K")})), "I");
    EXPECT_EQ(atom(call("assert", {num(1)})), "Z");
    EXPECT_EQ(atom(call("assert", {lit("[H]")})), "Z");
    EXPECT_DEATH(call("assert", {makeAtom("H")}), "^ASSERTION FAILED:l:[0-9]+\n$");
}

TEST(BridgeProcess, ExitAbortAndRaiseEndTheProcess) {
    EXPECT_EXIT(call("exit", {num(7)}), ::testing::ExitedWithCode(7), "");
    EXPECT_EQ(atom(call("exit", {lit("[7]")})), "Z");
    EXPECT_DEATH(call("abort"), "");
    EXPECT_EXIT(call("raise", {num(SIGTERM)}), ::testing::KilledBySignal(SIGTERM), "");
}
