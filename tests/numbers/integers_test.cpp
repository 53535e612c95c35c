// Decimal integers: the dispatch rows of + - * / % ^ on integers, and a
// randomized cross-check of the limb arithmetic against digit-by-digit
// reference arithmetic.
#include <random>

#include "numbers/bignum.h"
#include "numbers/integer.h"
#include "support.h"

namespace kiln::numbers::testing {
namespace {

// ---- digit-by-digit reference on magnitudes (most significant first) ----

std::string strip(std::string s) {
    size_t i = 0;
    while (i + 1 < s.size() && s[i] == '0') ++i;
    return s.substr(i);
}

int cmpMag(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a < b ? -1 : a > b ? 1 : 0;
}

std::string addMag(const std::string& a, const std::string& b) {
    std::string r;
    int carry = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        int da = i < a.size() ? a[a.size() - 1 - i] - '0' : 0;
        int db = i < b.size() ? b[b.size() - 1 - i] - '0' : 0;
        int s = da + db + carry;
        r.insert(r.begin(), static_cast<char>('0' + s % 10));
        carry = s / 10;
    }
    if (carry) r.insert(r.begin(), '1');
    return strip(r);
}

std::string subMag(const std::string& a, const std::string& b) {  // a >= b
    std::string r = a;
    int borrow = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int d = (a[a.size() - 1 - i] - '0') - (i < b.size() ? b[b.size() - 1 - i] - '0' : 0) - borrow;
        borrow = d < 0;
        if (d < 0) d += 10;
        r[a.size() - 1 - i] = static_cast<char>('0' + d);
    }
    return strip(r);
}

std::string mulMag(const std::string& a, const std::string& b) {
    std::vector<int> r(a.size() + b.size(), 0);
    for (size_t i = a.size(); i-- > 0;) {
        int carry = 0;
        for (size_t j = b.size(); j-- > 0;) {
            int s = r[i + j + 1] + (a[i] - '0') * (b[j] - '0') + carry;
            r[i + j + 1] = s % 10;
            carry = s / 10;
        }
        r[i] += carry;
    }
    std::string s;
    for (int d : r) s += static_cast<char>('0' + d);
    return strip(s);
}

void divMag(const std::string& a, const std::string& b, std::string& q, std::string& rem) {
    q.clear();
    rem = "0";
    for (char ch : a) {
        rem = strip(rem + ch);
        int k = 0;
        while (cmpMag(rem, b) >= 0) {
            rem = subMag(rem, b);
            ++k;
        }
        q += static_cast<char>('0' + k);
    }
    q = strip(q);
}

struct Ref {
    bool neg;
    std::string mag;
};
Ref parse(const std::string& t) {
    if (t.size() > 1 && t[0] == '0') return {true, t.substr(1)};
    return {false, t};
}
std::string show(bool neg, const std::string& mag) { return (neg && mag != "0") ? "0" + mag : mag; }

std::string refAdd(const std::string& x, const std::string& y) {
    Ref a = parse(x), b = parse(y);
    if (a.neg == b.neg) return show(a.neg, addMag(a.mag, b.mag));
    if (cmpMag(a.mag, b.mag) < 0) return show(b.neg, subMag(b.mag, a.mag));
    return show(a.neg, subMag(a.mag, b.mag));
}
std::string refNeg(const std::string& x) {
    Ref a = parse(x);
    return show(!a.neg, a.mag);
}
std::string refMul(const std::string& x, const std::string& y) {
    Ref a = parse(x), b = parse(y);
    return show(a.neg != b.neg, mulMag(a.mag, b.mag));
}
std::string refDiv(const std::string& x, const std::string& y) {
    Ref a = parse(x), b = parse(y);
    std::string q, r;
    divMag(a.mag, b.mag, q, r);
    if (a.neg != b.neg && r != "0") q = addMag(q, "1");
    return show(a.neg != b.neg, q);
}
std::string refRem(const std::string& x, const std::string& y) {
    Ref a = parse(x), b = parse(y);
    std::string q, r;
    divMag(a.mag, b.mag, q, r);
    if (a.neg != b.neg && r != "0") r = subMag(b.mag, r);
    return r;
}
std::string refPow(const std::string& x, int e) {
    std::string r = "1";
    for (int i = 0; i < e; ++i) r = refMul(r, x);
    return r;
}

std::string randomNumeral(std::mt19937_64& rng, size_t maxDigits) {
    size_t n = 1 + rng() % maxDigits;
    std::string s;
    s += static_cast<char>('1' + rng() % 9);
    for (size_t i = 1; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
    if (rng() % 7 == 0) s = "0";
    if (s != "0" && rng() % 2) s = "0" + s;
    return s;
}

class IntegersTest : public NumbersTest {};

TEST_F(IntegersTest, RandomizedAgainstDigitArithmetic) {
    std::mt19937_64 rng(12345);
    for (int i = 0; i < 3000; ++i) {
        std::string x = randomNumeral(rng, 200), y = randomNumeral(rng, i % 3 ? 200 : 20);
        ASSERT_EQ(op2("plus", x, y), refAdd(x, y)) << x << " + " << y;
        ASSERT_EQ(op2("dash", x, y), refAdd(x, refNeg(y))) << x << " - " << y;
        ASSERT_EQ(op2("mult", x, y), refMul(x, y)) << x << " * " << y;
        if (y == "0") {
            ASSERT_EQ(op2("over", x, y), "Z");
            ASSERT_EQ(op2("cent", x, y), "Z");
        } else if (i % 3 == 0 || i < 1000) {
            ASSERT_EQ(op2("over", x, y), refDiv(x, y)) << x << " / " << y;
            ASSERT_EQ(op2("cent", x, y), refRem(x, y)) << x << " % " << y;
        }
    }
}

TEST_F(IntegersTest, RandomizedPowers) {
    std::mt19937_64 rng(777);
    for (int i = 0; i < 300; ++i) {
        std::string x = randomNumeral(rng, 30);
        int e = static_cast<int>(rng() % 25);
        ASSERT_EQ(op2("powa", atom(x), makeInteger(e)), refPow(x, e)) << x << " ^ " << e;
    }
}

TEST_F(IntegersTest, LongOperandsCrossTheKaratsubaAndDivisionPaths) {
    std::mt19937_64 rng(99);
    for (size_t len : {361, 900, 1500, 2600}) {
        std::string x = randomNumeral(rng, 1).substr(0, 0), y;
        x = "7";
        y = "3";
        while (x.size() < len) x += static_cast<char>('0' + rng() % 10);
        while (y.size() < len / 2 + 37) y += static_cast<char>('0' + rng() % 10);
        ASSERT_EQ(op2("mult", x, x), refMul(x, x));
        ASSERT_EQ(op2("mult", x, y), refMul(x, y));
        ASSERT_EQ(op2("mult", "0" + y, x), refMul("0" + y, x));
        ASSERT_EQ(op2("over", x, y), refDiv(x, y));
        ASSERT_EQ(op2("cent", "0" + x, y), refRem("0" + x, y));
    }
    // A divisor whose top limb forces the quotient estimate to be corrected.
    std::string big = "1" + std::string(40, '0') + "1", div = "999999999" + std::string(18, '9');
    ASSERT_EQ(op2("over", big, div), refDiv(big, div));
    ASSERT_EQ(op2("cent", big, div), refRem(big, div));
}

TEST_F(IntegersTest, BaseConversionAgreesWithTheCellConversions) {
    std::mt19937_64 rng(5);
    for (size_t len : {1, 9, 10, 100, 700, 5000}) {
        std::string d = "9";
        while (d.size() < len) d += static_cast<char>('0' + rng() % 10);
        Limbs bin = decimalToBinary(digitsToLimbs(d));
        EXPECT_EQ(std::vector<uint32_t>(bin.begin(), bin.end()), decimalToLimbs(d)) << len;
        EXPECT_EQ(limbsToDigits(binaryToDecimal(bin)), d) << len;
    }
}

TEST_F(IntegersTest, BinaryDivisionReassembles) {
    std::mt19937_64 rng(3);
    for (int i = 0; i < 200; ++i) {
        Limbs a(1 + rng() % 30), b(1 + rng() % 12);
        for (auto& l : a) l = static_cast<uint32_t>(rng());
        for (auto& l : b) l = static_cast<uint32_t>(i % 2 ? rng() : rng() >> 33);
        if (i % 5 == 0) b.back() = 0xFFFFFFFFu;
        trim(a);
        trim(b);
        if (b.empty()) continue;
        Limbs q, r;
        Binary::divide(a, b, &q, &r);
        ASSERT_LT(Binary::compare(r, b), 0);
        ASSERT_EQ(Binary::add(Binary::multiply(q, b), r), a);
    }
}

TEST_F(IntegersTest, AdditionAndSubtractionEdges) {
    EXPECT_EQ(op2("plus", "0", "0"), "0");
    EXPECT_EQ(op2("plus", "05", "5"), "0");
    EXPECT_EQ(op2("dash", "05", "05"), "0");
    EXPECT_EQ(op2("dash", "0", "5"), "05");
    EXPECT_EQ(op2("dash", "05", "0"), "05");
    EXPECT_EQ(op2("plus", "05", "3"), "02");
    EXPECT_EQ(op2("plus", "999", "1"), "1000");
    EXPECT_EQ(op2("plus", std::string(20, '9'), "1"), "1" + std::string(20, '0'));
    EXPECT_EQ(addDecimal("7", "07"), "0");
    EXPECT_EQ(negateDecimal("0"), "0");
    EXPECT_EQ(negateDecimal("12"), "012");
    EXPECT_EQ(negateDecimal("012"), "12");
}

TEST_F(IntegersTest, MultiplicationDivisionRemainderEdges) {
    EXPECT_EQ(op2("mult", "0", "05"), "0");
    EXPECT_EQ(op2("mult", "12", "05"), "060");
    EXPECT_EQ(op2("over", "7", "0"), "Z");
    EXPECT_EQ(op2("cent", "7", "0"), "Z");
    EXPECT_EQ(op2("over", "7", "2"), "3");
    EXPECT_EQ(op2("over", "07", "2"), "04");
    EXPECT_EQ(op2("over", "7", "02"), "04");
    EXPECT_EQ(op2("over", "07", "02"), "3");
    EXPECT_EQ(op2("over", "01", "2"), "01");
    EXPECT_EQ(op2("over", "1", "02"), "01");
    EXPECT_EQ(op2("over", "04", "2"), "02");
    EXPECT_EQ(op2("over", "0", "05"), "0");
    EXPECT_EQ(op2("cent", "7", "3"), "1");
    EXPECT_EQ(op2("cent", "07", "3"), "2");
    EXPECT_EQ(op2("cent", "7", "03"), "2");
    EXPECT_EQ(op2("cent", "07", "03"), "1");
    EXPECT_EQ(op2("cent", "6", "03"), "0");
    EXPECT_EQ(op2("cent", "0", "03"), "0");
}

TEST_F(IntegersTest, PowerEdges) {
    EXPECT_EQ(op2("powa", "2", "10"), "1024");
    EXPECT_EQ(op2("powa", "02", "3"), "08");
    EXPECT_EQ(op2("powa", "02", "4"), "16");
    EXPECT_EQ(op2("powa", "5", "01"), "0");
    EXPECT_EQ(op2("powa", "1", "01"), "0");
    EXPECT_EQ(op2("powa", "0", "0"), "1");
    EXPECT_EQ(op2("powa", "0", "7"), "0");
    EXPECT_EQ(op2("powa", "01", std::string(30, '9')), "01");
    EXPECT_EQ(op2("powa", "01", "1" + std::string(30, '0')), "1");
    EXPECT_EQ(op2("powa", "1", "1" + std::string(30, '0')), "1");
    EXPECT_EQ(op2("powa", "0", "1" + std::string(30, '0')), "0");
    std::string big = op2("powa", "2", "100000");
    EXPECT_EQ(big.size(), 30103u);
    EXPECT_EQ(big.substr(0, 5), "99900");
    // Results beyond the length limit are undefined rather than exhausting memory.
    EXPECT_EQ(op2("powa", "2", "1000000000000"), "Z");
    EXPECT_EQ(op2("powa", "10", std::to_string(kMaxPowerDigits + 10)), "Z");
    EXPECT_EQ(op2("powa", "10", "1" + std::string(40, '0')), "Z");
}

TEST_F(IntegersTest, BitChainsCountAsTheirNumerals) {
    // ((J K) ((J K) ((J H) ((J K) K)))): data bits 1 1 0 1: non-negative 2.
    CellRef two = chain("1101", makeAtom("K"));
    EXPECT_EQ(op2("plus", two, atom("3")), "5");
    EXPECT_EQ(op2("mult", two, two), "4");
    // A chain ending in a numeral: links 1 1, then the data bits of "5".
    EXPECT_EQ(op2("plus", chain("11", makeAtom("5")), atom("0")), numeralText(chain("11", makeAtom("5")).get()));
    // A chain with a link that is not a truth value, or a bad end, is undefined.
    CellRef bad = apply(makeAtom("J"), makeAtom("K"), apply(makeAtom("J"), makeAtom("Q"), makeAtom("K")));
    EXPECT_EQ(op2("plus", bad, atom("1")), "Z");
    EXPECT_EQ(op2("plus", apply(makeAtom("J"), makeAtom("K"), makeAtom("Q")), atom("1")), "Z");
}

TEST_F(IntegersTest, OperandsOfNoClassGiveZ) {
    for (const char* op : {"plus", "dash", "mult", "over", "cent", "powa"}) {
        EXPECT_EQ(op2(op, atom("1"), atom("Q")), "Z") << op;
        EXPECT_EQ(op2(op, atom("foo"), atom("1")), "Z") << op;
        EXPECT_EQ(op2(op, apply(makeAtom("plus"), makeAtom("1")), atom("1")), "Z") << op;
    }
}

}  // namespace
}  // namespace kiln::numbers::testing
