// C strings and characters.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "bridge/call.h"
#include "cells/values.h"

using namespace kiln;
using namespace kiln::testing;

namespace {

CellRef bytes(const char* s) { return makeByteString(s); }

}  // namespace

TEST(BridgeStrings, StrcmpIsNormalised) {
    EXPECT_EQ(value(call("strcmp", {bytes("abc"), bytes("abd")})), -1);
    EXPECT_EQ(value(call("strcmp", {bytes("b"), bytes("a")})), 1);
    EXPECT_EQ(value(call("strcmp", {bytes("same"), bytes("same")})), 0);
    EXPECT_EQ(value(call("strcmp", {bytes("ab"), bytes("abc")})), -1);
    EXPECT_EQ(value(call("strcmp", {bytes("abc"), bytes("ab")})), 1);
    EXPECT_EQ(value(call("strcmp", {bytes(""), bytes("")})), 0);
    EXPECT_EQ(value(call("strcmp", {bytes("\xff"), bytes("a")})), 1);  // bytes are unsigned
    EXPECT_EQ(value(call("strcmp", {lit("[abc]"), bytes("[abc]")})), 0);
}

TEST(BridgeStrings, LengthsAndComparisons) {
    EXPECT_EQ(value(call("strlen", {bytes("")})), 0);
    EXPECT_EQ(value(call("strnlen", {bytes("abcdef"), num(3)})), 3);
    EXPECT_EQ(value(call("strnlen", {bytes("ab"), num(30)})), 2);
    EXPECT_EQ(value(call("strcasecmp", {bytes("HeLLo"), bytes("hello")})), 0);
    EXPECT_LT(value(call("strcasecmp", {bytes("a"), bytes("B")})), 0);
    EXPECT_EQ(value(call("strncmp", {bytes("abcx"), bytes("abcy"), num(3)})), 0);
    EXPECT_GT(value(call("strncmp", {bytes("abcy"), bytes("abcx"), num(4)})), 0);
    EXPECT_EQ(value(call("strncasecmp", {bytes("ABx"), bytes("aby"), num(2)})), 0);
}

TEST(BridgeStrings, CopyingAndJoining) {
    char buf[32] = "zzzzzzzzzz";
    EXPECT_EQ(value(call("strcpy", {addr(buf), bytes("abc")})), value(addr(buf)));
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(value(call("strcat", {addr(buf), lit("[de]")})), value(addr(buf)));
    EXPECT_STREQ(buf, "abc[de]");
    EXPECT_EQ(value(call("strncat", {addr(buf), bytes("fghij"), num(2)})), value(addr(buf)));
    EXPECT_STREQ(buf, "abc[de]fg");
    char src[] = "xy";
    char dst[6] = "#####";
    EXPECT_EQ(value(call("strncpy", {addr(dst), addr(src), num(4)})), value(addr(dst)));
    EXPECT_EQ(std::memcmp(dst, "xy\0\0#", 6), 0);
    // A byte string is no address for strncpy's source, and 0 is no buffer.
    EXPECT_EQ(atom(call("strncpy", {addr(dst), bytes("ab"), num(2)})), "Z");
    EXPECT_EQ(atom(call("strcpy", {num(0), bytes("ab")})), "Z");
    char* copy = const_cast<char*>(cText(call("strdup", {bytes("dup")})));
    EXPECT_STREQ(copy, "dup");
    std::free(copy);
}

TEST(BridgeStrings, Searching) {
    char text[] = "hello world";
    EXPECT_EQ(value(call("strchr", {addr(text), num('o')})), value(addr(text + 4)));
    EXPECT_EQ(value(call("strrchr", {addr(text), num('o')})), value(addr(text + 7)));
    EXPECT_EQ(value(call("strchr", {addr(text), num('q')})), 0);
    EXPECT_EQ(value(call("strrchr", {bytes("abc"), num('q')})), 0);
    EXPECT_EQ(value(call("strpbrk", {addr(text), bytes("wr")})), value(addr(text + 6)));
    EXPECT_EQ(value(call("strpbrk", {addr(text), bytes("xyz")})), 0);
    EXPECT_EQ(value(call("strspn", {addr(text), bytes("hel")})), 4);
    EXPECT_EQ(value(call("strstr", {addr(text), bytes("wor")})), value(addr(text + 6)));
    EXPECT_EQ(value(call("strstr", {addr(text), bytes("word")})), 0);
}

TEST(BridgeStrings, Tokens) {
    // Continuing before any text has no token rather than a null context.
    EXPECT_EQ(value(call("strtok", {num(0), bytes(",")})), 0);
    char text[] = "a,bb,,c";
    EXPECT_STREQ(cText(call("strtok", {addr(text), bytes(",")})), "a");
    EXPECT_STREQ(cText(call("strtok", {num(0), bytes(",")})), "bb");
    EXPECT_STREQ(cText(call("strtok", {num(0), bytes(",")})), "c");
    EXPECT_EQ(value(call("strtok", {num(0), bytes(",")})), 0);
    EXPECT_EQ(value(call("strtok", {num(0), bytes(",")})), 0);

    char other[] = "x y";
    char* context = nullptr;
    EXPECT_EQ(value(call("strtok_r", {num(0), bytes(" "), addr(&context)})), 0);
    EXPECT_STREQ(cText(call("strtok_r", {addr(other), bytes(" "), addr(&context)})), "x");
    EXPECT_STREQ(cText(call("strtok_r", {num(0), bytes(" "), addr(&context)})), "y");
    EXPECT_EQ(value(call("strtok_r", {num(0), bytes(" "), addr(&context)})), 0);
    EXPECT_EQ(atom(call("strtok_r", {num(0), bytes(" "), num(0)})), "Z");
}

TEST(BridgeStrings, NumberConversions) {
    const char* end = nullptr;
    CellRef text = bytes("  -42xyz");
    EXPECT_EQ(value(call("strtol", {text, addr(&end), num(10)})), -42);
    EXPECT_STREQ(end, "xyz");
    EXPECT_EQ(value(call("strtol", {bytes("ff"), num(0), num(16)})), 255);
    EXPECT_EQ(value(call("strtol", {bytes("99999999999999999999"), num(0), num(10)})), LONG_MAX);
    EXPECT_EQ(atom(call("strtoul", {bytes("-1"), num(0), num(10)})), "18446744073709551615");
    EXPECT_EQ(atom(call("strtoul", {bytes("17"), num(0), num(8)})), "15");
    CellRef real = bytes("2.5e1rest");
    CellRef d = call("strtod", {real, addr(&end)});
    ASSERT_TRUE(isReal(d.get()));
    EXPECT_EQ(realValue(d.get()), 25.0);
    EXPECT_STREQ(end, "rest");
    EXPECT_EQ(value(call("atoi", {bytes("123abc")})), 123);
    EXPECT_EQ(value(call("atoi", {lit("[7]")})), 0);  // the bracket comes first
    EXPECT_EQ(value(call("atol", {bytes("-9000000000")})), -9000000000LL);
    EXPECT_EQ(realValue(call("atof", {bytes("0.5")}).get()), 0.5);
    EXPECT_STREQ(cText(call("strerror", {num(ENOENT)})), std::strerror(ENOENT));
}

TEST(BridgeStrings, Characters) {
    EXPECT_EQ(atom(call("isascii", {num(-1)})), "H");
    EXPECT_EQ(atom(call("isascii", {num(65)})), "K");
    EXPECT_EQ(atom(call("isascii", {num(128)})), "H");
    EXPECT_EQ(atom(call("isascii", {num((int64_t{1} << 32) + 5)})), "K");  // the low 32 bits
    EXPECT_EQ(value(call("toascii", {num(200)})), 72);
    EXPECT_EQ(value(call("tolower", {num('A')})), 'a');
    EXPECT_EQ(value(call("toupper", {num('a')})), 'A');
    EXPECT_EQ(value(call("toupper", {num('1')})), '1');
    const std::pair<const char*, int> truths[] = {
        {"isalnum", '7'}, {"isalpha", 'q'}, {"isblank", '\t'}, {"isdigit", '0'}, {"isgraph", '!'},
        {"islower", 'z'}, {"isprint", ' '}, {"ispunct", ';'},  {"isspace", '\n'}, {"isupper", 'Q'},
    };
    for (const auto& [name, c] : truths) {
        EXPECT_EQ(atom(call(name, {num(c)})), "K") << name;
        EXPECT_EQ(atom(call(name, {num(0)})), "H") << name;
        // Far outside the runtime's tables: in no class, and no crash.
        EXPECT_EQ(atom(call(name, {num(1000000)})), "H") << name;
        EXPECT_EQ(atom(call(name, {num(-1000000)})), "H") << name;
        EXPECT_EQ(atom(call(name, {bytes("a")})), "Z") << name;
    }
    EXPECT_EQ(value(call("tolower", {num(1000000)})), 1000000);
    EXPECT_EQ(value(call("toupper", {num(-1)})), -1);
}
