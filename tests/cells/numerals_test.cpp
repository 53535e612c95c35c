// Numerals that keep their value beside their text.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "cells/integers.h"
#include "cells/values.h"

namespace kiln {
namespace {

DecimalValue value(bool negative, LimbVector limbs) { return DecimalValue{negative, std::move(limbs)}; }

// The bytes in memory right now, without writing a pending text.
std::string storedPrefix(const Cell* c, size_t n) { return std::string(rawBytes(c), n); }

TEST(Numerals, PendingTextIsWrittenOnFirstRead) {
    CellRef n = makeNumeral(value(false, {5, 0, 123456789, 42}));
    // 42 123456789 000000000 000000005 has 2 + 27 digits.
    EXPECT_TRUE(rawTextPending(n.get()));
    EXPECT_EQ(rawSpan(n.get()), 29u);
    EXPECT_EQ(storedPrefix(n.get(), 2), "42");
    EXPECT_TRUE(isNumeral(n.get()));
    EXPECT_TRUE(isInteger(n.get()));
    EXPECT_TRUE(isNonNegative(n.get()));
    EXPECT_EQ(numberClass(n.get()), 'i');
    EXPECT_TRUE(rawTextPending(n.get()));  // the kind tests wrote nothing
    EXPECT_EQ(atomText(n), "42123456789000000000000000005");
    EXPECT_FALSE(rawTextPending(n.get()));
    EXPECT_EQ(std::strlen(rawBytes(n.get())), 29u);
    ASSERT_NE(keptDecimal(n.get()), nullptr);  // the limbs stay
    EXPECT_EQ(keptDecimal(n.get())->magnitude.size(), 4u);
}

TEST(Numerals, NegativeAndShortTopLimbs) {
    CellRef neg = makeNumeral(value(true, {1, 2, 7}));
    EXPECT_EQ(storedPrefix(neg.get(), 2), "07");
    EXPECT_FALSE(isNonNegative(neg.get()));
    EXPECT_EQ(numberClass(neg.get()), 'i');
    EXPECT_EQ(textOf(neg), "07000000002000000001");
    // A one-digit top limb: the second byte comes from the next limb.
    CellRef pos = makeNumeral(value(false, {0, 912345678, 3}));
    EXPECT_EQ(storedPrefix(pos.get(), 2), "39");
    EXPECT_EQ(textOf(pos), "3912345678000000000");
    // High zero limbs are dropped; zero is "0" whatever its sign.
    EXPECT_EQ(textOf(makeNumeral(value(false, {1, 0, 0}))), "1");
    EXPECT_EQ(textOf(makeNumeral(value(true, {}))), "0");
}

TEST(Numerals, SmallValuesAreWrittenAtOnceAndKept) {
    CellRef n = makeNumeral(value(true, {999999999, 9}));
    EXPECT_FALSE(rawTextPending(n.get()));
    EXPECT_EQ(textOf(n), "09999999999");
    int64_t v = 0;
    ASSERT_TRUE(keptSmall(n.get(), v));
    EXPECT_EQ(v, -9999999999);
    EXPECT_EQ(toInt64(n), -9999999999);
    CellRef m = makeInteger(INT64_MIN);  // too wide to keep: read from the text
    EXPECT_FALSE(keptSmall(m.get(), v));
    EXPECT_EQ(toInt64(m), INT64_MIN);
    CellRef k = makeInteger((int64_t{1} << 53) - 1);
    ASSERT_TRUE(keptSmall(k.get(), v));
    EXPECT_EQ(v, (int64_t{1} << 53) - 1);
}

TEST(Numerals, IntegersFrom100KeepTheirTextPendingUntilRead) {
    int64_t v = 0;
    for (int64_t x : {int64_t{100}, int64_t{999}, int64_t{1000}, int64_t{123456789},
                      (int64_t{1} << 53) - 1}) {
        CellRef n = makeInteger(x);
        std::string text = std::to_string(x);
        EXPECT_TRUE(rawTextPending(n.get())) << x;
        EXPECT_EQ(storedPrefix(n.get(), 2), text.substr(0, 2)) << x;
        EXPECT_EQ(rawSpan(n.get()), text.size()) << x;
        EXPECT_EQ(numberClass(n.get()), 'i');
        ASSERT_TRUE(keptSmall(n.get(), v));
        EXPECT_EQ(v, x);
        EXPECT_EQ(textOf(n), text);
        EXPECT_FALSE(rawTextPending(n.get()));
        ASSERT_TRUE(keptSmall(n.get(), v));  // the value stays
        EXPECT_EQ(v, x);
    }
    // Below 100, negative or too wide to keep: written at once.
    for (int64_t x : {int64_t{0}, int64_t{7}, int64_t{99}, int64_t{-5}, int64_t{-100}, int64_t{1} << 53}) {
        CellRef n = makeInteger(x);
        EXPECT_FALSE(rawTextPending(n.get())) << x;
        EXPECT_EQ(std::string(rawBytes(n.get())), x < 0 ? "0" + std::to_string(-x) : std::to_string(x));
    }
    // An escaped atom's bytes are the program's: the text is written first.
    CellRef e = makeInteger(4567);
    escapeAtom(e.get());
    EXPECT_EQ(std::string(rawBytes(e.get())), "4567");
    EXPECT_FALSE(keptSmall(e.get(), v));
    EXPECT_EQ(compareCells(makeInteger(250), makeAtom("250")), 0);
}

TEST(Numerals, ToInt64OfKeptLimbsWraps) {
    // 2^64 + 1 = 18446744073709551617 and its negation.
    CellRef n = makeNumeral(value(false, {709551617, 446744073, 18}));
    EXPECT_EQ(toInt64(n), 1);
    EXPECT_TRUE(rawTextPending(n.get()));
    CellRef m = makeNumeral(value(true, {709551617, 446744073, 18}));
    EXPECT_EQ(toInt64(m), -1);
}

TEST(Numerals, SlotOfANumeralBelongsToItsNumber) {
    CellRef n = makeNumeral(value(false, {1, 2, 3}));
    int marker = 0;
    setAtomSlot(n.get(), &marker);
    EXPECT_EQ(atomSlot(n.get()), nullptr);
    EXPECT_TRUE(rawTextPending(n.get()));
    EXPECT_EQ(textOf(n), "3000000002000000001");
    CellRef name = makeAtom("plus");
    setAtomSlot(name.get(), &marker);
    EXPECT_EQ(atomSlot(name.get()), &marker);
}

TEST(Numerals, EscapedAtomsKeepNothing) {
    CellRef n = makeNumeral(value(false, {1, 2, 3}));
    escapeAtom(n.get());
    EXPECT_FALSE(rawTextPending(n.get()));
    EXPECT_EQ(std::string(rawBytes(n.get())), "3000000002000000001");
    EXPECT_EQ(keptDecimal(n.get()), nullptr);
    // Nothing is kept from here on: a change to the bytes is what counts.
    keepDecimal(n.get(), value(false, {1, 2, 3}));
    EXPECT_EQ(keptDecimal(n.get()), nullptr);
    const_cast<char*>(rawBytes(n.get()))[18] = '7';
    EXPECT_EQ(toInt64(n), int64_t{3000000002000000007});
    CellRef s = makeInteger(12);
    escapeAtom(s.get());
    int64_t v;
    EXPECT_FALSE(keptSmall(s.get(), v));
    const_cast<char*>(rawBytes(s.get()))[1] = '5';
    EXPECT_EQ(toInt64(s), 15);
}

TEST(Numerals, CompareAndCopyReadTheText) {
    CellRef a = makeNumeral(value(false, {0, 0, 2}));
    CellRef b = makeAtom("1999999999999999999");
    // Byte order, not numeric order: "2000..." after "1999...".
    EXPECT_EQ(compareCells(a, b), -1);
    EXPECT_EQ(compareCells(a, makeAtom("2000000000000000000")), 0);
    EXPECT_EQ(payloadLength(makeNumeral(value(true, {0, 0, 2}))), 20u);
}

// The canonical length agrees with the round trip through the bit string,
// for texts with stray bytes, fractions and negatives alike.
TEST(Numerals, CanonicalLengthMatchesTheRoundTrip) {
    std::mt19937 rng(12345);
    const char alphabet[] = "0000123456789a";
    for (int i = 0; i < 3000; ++i) {
        size_t n = 1 + rng() % 30;
        std::string t(1, static_cast<char>('0' + rng() % 10));
        if (rng() % 3 == 0) t = rng() % 2 ? "00" : "0";
        while (t.size() < n) t += alphabet[rng() % (sizeof alphabet - 1)];
        CellRef c = makeAtom(t);
        CellRef canonical = fromBits(toBits(c));
        EXPECT_EQ(canonicalNumeralLength(c.get()), atomText(canonical).size()) << t;
    }
    CellRef big = makeNumeral(value(true, {1, 2, 3}));
    EXPECT_EQ(canonicalNumeralLength(big.get()), 20u);
    EXPECT_TRUE(rawTextPending(big.get()));
}

}  // namespace
}  // namespace kiln
