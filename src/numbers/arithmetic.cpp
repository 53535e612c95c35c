// plus, dash, mult, over, cent and powa: dispatch on the classes of the two
// operands.
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "cells/integers.h"
#include "cells/values.h"
#include "numbers/builtins.h"
#include "numbers/fraction.h"
#include "numbers/integer.h"
#include "numbers/numbers.h"
#include "numbers/operands.h"
#include "numbers/reals.h"

namespace kiln::numbers {

namespace {

inline bool isText(char cls) { return cls == 'a' || cls == 'u'; }

struct Operands {
    Cell* x;
    Cell* y;
    char cx;
    char cy;
};

Operands operands(const CellRef& app) {
    Cell* a[2];
    spineArguments(app.get(), 2, a);
    return {a[0], a[1], numberClass(a[0]), numberClass(a[1])};
}

template <typename Fn>
CellRef realOp(const Operands& o, Fn fn) {
    double x, y;
    if (!toReal(o.x, o.cx, x) || !toReal(o.y, o.cy, y)) return undefined();
    return makeReal(fn(x, y));
}

template <typename Fn>
CellRef integerOp(const Operands& o, Fn fn) {
    Integer sx, sy;
    const Integer* x = integerView(o.x, sx);
    const Integer* y = integerView(o.y, sy);
    if (!x || !y) return undefined();
    std::optional<Integer> r = fn(*x, *y);
    return r ? integerCell(std::move(*r)) : undefined();
}

template <typename Fn>
CellRef fractionOp(const Operands& o, Fn fn) {
    Fraction x, y;
    if (!readFraction(o.x, x) || !readFraction(o.y, y)) return undefined();
    std::optional<Fraction> r = fn(x, y);
    return r ? fractionCell(*r) : undefined();
}

// x + y for two byte strings, or two literal atoms, when the application is
// the only holder of x: x's text grows in place, so that a text built by
// repeated joins costs amortised linear time. Null when x is shared.
CellRef appendInPlace(const CellRef& app, const Operands& o) {
    Cell* x = o.x;
    if (!rawIsAtom(x) || !rawIsAtom(o.y)) return CellRef();
    std::string_view tail;
    if (o.cx == 'a') {
        tail = byteStringPayload(o.y);
    } else {
        std::string_view t = atomText(o.y);
        if (t.size() < 2 || t.back() != ']' || atomText(x).size() < 2 || atomText(x).back() != ']')
            return CellRef();
        tail = t.substr(1, t.size() - 2);
    }
    if (!takeFirstArgument(app.get(), x, o.y)) return CellRef();
    return CellRef::adopt(o.cx == 'a' ? growByteString(x, tail) : growLiteral(x, tail));
}

// The text of a number joined to a text by plus.
bool numberText(const Cell* c, char cls, std::string& out) {
    if (cls == 'e') {
        out = realText(realValue(c));
        return true;
    }
    return numeralOf(c, out);
}

// A text of x's kind holding n copies of its content, built by doubling.
CellRef repeat(const Operands& o) {
    int64_t n;
    if (!readInt64(o.y, n) || n < 0) return undefined();
    std::string unit;
    if (!textContent(o.x, unit)) return undefined();
    if (n == 0 || unit.empty()) return makeText(o.cx, "");
    uint64_t count = static_cast<uint64_t>(n);
    if (count > kMaxRepeatedText / unit.size()) return undefined();
    std::string out;
    out.reserve(unit.size() * count);
    out = unit;
    for (int bit = 62 - __builtin_clzll(count); bit >= 0; --bit) {
        out.append(out);
        if ((count >> bit) & 1) out += unit;
    }
    return makeText(o.cx, out);
}

// x's content shortened by n: n > 0 drops the first n bytes, n < 0 the last
// -n; exactly all of it gives the empty text, more than all "Z".
CellRef shorten(const Operands& o) {
    int64_t n;
    if (!readInt64(o.y, n)) return undefined();
    std::string s;
    if (!textContent(o.x, s)) return undefined();
    uint64_t drop = n < 0 ? uint64_t{0} - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    if (drop > s.size()) return undefined();
    if (n > 0) return makeText(o.cx, std::string_view(s).substr(drop));
    return makeText(o.cx, std::string_view(s).substr(0, s.size() - drop));
}

}  // namespace

// The direct forms answer two small integers, or two reals, at once; null
// sends anything else through the builtin itself.
namespace {
inline bool twoReals(const Cell* x, const Cell* y, double& a, double& b) {
    if (!isReal(x) || !isReal(y)) return false;
    a = realValue(x);
    b = realValue(y);
    return true;
}
}  // namespace

CellRef plusDirect(Cell* x, Cell* y) {
    int64_t a, b;
    if (smallInteger(x, a) && smallInteger(y, b)) return makeInteger(a + b);
    int64_t s;
    if (twoWide(x, y, a, b) && !__builtin_add_overflow(a, b, &s)) return makeInteger(s);
    double u, v;
    if (twoReals(x, y, u, v)) return makeReal(u + v);
    return CellRef();
}

CellRef dashDirect(Cell* x, Cell* y) {
    int64_t a, b;
    if (smallInteger(x, a) && smallInteger(y, b)) return makeInteger(a - b);
    int64_t s;
    if (twoWide(x, y, a, b) && !__builtin_sub_overflow(a, b, &s)) return makeInteger(s);
    double u, v;
    if (twoReals(x, y, u, v)) return makeReal(u - v);
    return CellRef();
}

CellRef multDirect(Cell* x, Cell* y) {
    int64_t a, b, p;
    if (twoWide(x, y, a, b) && !__builtin_mul_overflow(a, b, &p)) return makeInteger(p);
    double u, v;
    if (twoReals(x, y, u, v)) return makeReal(u * v);
    return CellRef();
}

// Division and remainder by a positive integer of 64 bits (a negative divisor
// may be watched for) or of two reals.
CellRef overDirect(Cell* x, Cell* y) {
    int64_t a, b;
    if (twoWide(x, y, a, b) && b > 0) return makeInteger(floorQuotient(a, b));
    double u, v;
    if (twoReals(x, y, u, v) && !(gNumberTrapWatcher && v < 0)) return makeReal(u / v);
    return CellRef();
}

CellRef centDirect(Cell* x, Cell* y) {
    int64_t a, b;
    if (twoWide(x, y, a, b) && b > 0) return makeInteger(floorRemainder(a, b));
    double u, v;
    if (twoReals(x, y, u, v) && !(gNumberTrapWatcher && v < 0)) return makeReal(std::fmod(u, v));
    return CellRef();
}

CellRef plus(CellRef app) {
    int64_t a, b;
    if (smallInteger(rawRight(rawLeft(app.get())), a) && smallInteger(rawRight(app.get()), b))
        return makeInteger(a + b);
    Operands o = operands(app);
    if (o.cx == 'w' || o.cy == 'w') return undefined();
    if (isText(o.cx) && isText(o.cy)) {
        if (o.cx == o.cy) {
            CellRef grown = appendInPlace(app, o);
            if (grown) return grown;
        }
        std::string a, b;
        if (o.cx != o.cy || !textContent(o.x, a) || !textContent(o.y, b)) return undefined();
        return makeText(o.cx, a + b);
    }
    if (isText(o.cx) || isText(o.cy)) {
        bool textFirst = isText(o.cx);
        std::string number, content;
        if (!numberText(textFirst ? o.y : o.x, textFirst ? o.cy : o.cx, number)) return undefined();
        // A number's digits go on the end of a text nothing else holds in
        // place, as another text's do: a buffer grown by `acc+n` stays linear.
        bool atom = textFirst && rawIsAtom(o.x);
        bool literal = atom && atomText(o.x).size() >= 2 && atomText(o.x).back() == ']';
        bool grows = atom && (o.cx == 'a' || literal);
        if (grows && takeFirstArgument(app.get(), o.x, o.y))
            return CellRef::adopt(o.cx == 'a' ? growByteString(o.x, number) : growLiteral(o.x, number));
        if (!textContent(textFirst ? o.x : o.y, content)) return undefined();
        return textFirst ? makeText(o.cx, content + number) : makeText(o.cy, number + content);
    }
    if (o.cx == 'e' || o.cy == 'e') return realOp(o, [](double a, double b) { return a + b; });
    if (o.cx == 'i' && o.cy == 'i')
        return integerOp(o, [](const Integer& a, const Integer& b) { return std::optional(add(a, b)); });
    return fractionOp(o, [](const Fraction& a, const Fraction& b) { return std::optional(addFractions(a, b)); });
}

CellRef dash(CellRef app) {
    int64_t a, b;
    if (smallInteger(rawRight(rawLeft(app.get())), a) && smallInteger(rawRight(app.get()), b))
        return makeInteger(a - b);
    Operands o = operands(app);
    if (o.cx == 'w' || o.cy == 'w') return undefined();
    if (isText(o.cx) && o.cy == 'i') return shorten(o);
    if (o.cx == 'u' && o.cy == 'u') return makePair(CellRef(o.x), CellRef(o.y));
    if (isText(o.cx) || isText(o.cy)) return undefined();
    if (o.cx == 'e' || o.cy == 'e') return realOp(o, [](double a, double b) { return a - b; });
    if (o.cx == 'i' && o.cy == 'i')
        return integerOp(o, [](const Integer& a, const Integer& b) { return std::optional(subtract(a, b)); });
    return fractionOp(o, [](const Fraction& a, const Fraction& b) {
        return std::optional(addFractions(a, negateFraction(b)));
    });
}

CellRef mult(CellRef app) {
    int64_t a, b, p;
    if (smallInteger(rawRight(rawLeft(app.get())), a) && smallInteger(rawRight(app.get()), b) &&
        !__builtin_mul_overflow(a, b, &p))
        return makeInteger(p);
    Operands o = operands(app);
    if (o.cx == 'w' || o.cy == 'w') return undefined();
    if (isText(o.cx) && o.cy == 'i') return repeat(o);
    if (isText(o.cx) || isText(o.cy)) return undefined();
    if (o.cx == 'e' || o.cy == 'e') return realOp(o, [](double a, double b) { return a * b; });
    if (o.cx == 'i' && o.cy == 'i')
        return integerOp(o, [](const Integer& a, const Integer& b) { return std::optional(multiply(a, b)); });
    return fractionOp(o, [](const Fraction& a, const Fraction& b) { return std::optional(multiplyFractions(a, b)); });
}

namespace {

// Quotient and remainder of two numerals of at most 18 digits, as the big
// division gives them: the quotient rounds down, and the remainder is taken
// of the magnitudes and, when the signs differ, counted back from |b|.
bool smallOperands(const CellRef& app, int64_t& a, int64_t& b) {
    return smallInteger(rawRight(rawLeft(app.get())), a) && smallInteger(rawRight(app.get()), b) && b != 0;
}

uint64_t magnitudeOf(int64_t v) { return v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v); }

// Tells the watcher of a division or remainder by a negative number.
void watchDivisor(const CellRef& app, const char* builtin) {
    Cell* a[2];
    spineArguments(app.get(), 2, a);
    int64_t v;
    Fraction f;
    std::string t;
    char cls = numberClass(a[1]);
    bool negative = smallInteger(a[1], v) ? v < 0
                    : cls == 'e'          ? realValue(a[1]) < 0
                    : cls == 'o'          ? readFraction(a[1], f) && f.negative
                                          : numeralOf(a[1], t) && t.size() > 1 && t[0] == '0';
    if (negative) gNumberTrapWatcher(NumberTrap::NegativeDivisor, builtin, a[0], a[1]);
}

}  // namespace

CellRef over(CellRef app) {
    if (__builtin_expect(gNumberTrapWatcher != nullptr, 0)) watchDivisor(app, "over");
    int64_t a, b;
    if (smallOperands(app, a, b)) {
        uint64_t q = magnitudeOf(a) / magnitudeOf(b);
        if ((a < 0) != (b < 0)) {
            if (magnitudeOf(a) % magnitudeOf(b) != 0) ++q;
            return makeInteger(-static_cast<int64_t>(q));
        }
        return makeInteger(static_cast<int64_t>(q));
    }
    Operands o = operands(app);
    if (o.cx == 'w' || o.cy == 'w' || isText(o.cx) || isText(o.cy)) return undefined();
    if (o.cx == 'i' && o.cy == 'i') return integerOp(o, floorDivide);
    if (o.cx == 'o' && o.cy == 'o') return undefined();
    return realOp(o, [](double a, double b) { return a / b; });
}

CellRef cent(CellRef app) {
    if (__builtin_expect(gNumberTrapWatcher != nullptr, 0)) watchDivisor(app, "cent");
    int64_t a, b;
    if (smallOperands(app, a, b)) {
        uint64_t r = magnitudeOf(a) % magnitudeOf(b);
        if ((a < 0) != (b < 0) && r != 0) r = magnitudeOf(b) - r;
        return makeInteger(static_cast<int64_t>(r));
    }
    Operands o = operands(app);
    if (o.cx == 'w' || o.cy == 'w' || isText(o.cx) || isText(o.cy)) return undefined();
    if (o.cx == 'e' || o.cy == 'e') return realOp(o, [](double a, double b) { return std::fmod(a, b); });
    if (o.cx == 'i' && o.cy == 'i') return integerOp(o, remainder);
    return fractionOp(o, fractionRemainder);
}

namespace {

// Whether a well-formed integer's bit string (its chain's links and its
// numeral's data bits) has fewer than 61 data bits.
bool dataBitsBelow61(const Cell* y) {
    if (!rawIsAtom(y)) return highestBit(toBits(y)) < 61;
    Integer e = parseNumeral(atomText(y));
    if (e.magnitude.size() > 3) return false;
    uint64_t bits = e.isZero() ? 1 : 2 + bitLength(decimalToBinary(e.magnitude));
    return bits < 61;
}

// A binary fraction raised to an integer.
CellRef fractionToThePower(const Operands& o) {
    if (!wellFormedNumber(o.x) || !wellFormedNumber(o.y)) return undefined();
    if (atomText(o.x) == "004") {
        // 2 ^ n, for any n written with fewer than 61 data bits.
        if (!dataBitsBelow61(o.y)) return undefined();
        int64_t n;
        if (!readInt64(o.y, n)) return undefined();
        std::optional<Fraction> r = powerOfTwo(n);
        return r ? fractionCell(*r) : undefined();
    }
    Integer e;
    if (!readInteger(o.y, e) || e.negative) return undefined();
    Fraction x;
    if (!readFraction(o.x, x)) return undefined();
    // Beyond 64 bits only zero and one keep a result of any sane size.
    uint64_t n = ~uint64_t{0};
    if (e.magnitude.size() <= 2) n = e.magnitude.empty() ? 0 : e.magnitude[0] + (e.magnitude.size() > 1 ? uint64_t{e.magnitude[1]} * kDecimalBase : 0);
    else if (!(x.isZero() || (x.magnitude == Limbs{1} && x.scale == 0))) return undefined();
    else n = isOdd(e) ? 1 : 2;
    std::optional<Fraction> r = fractionPower(x, n);
    return r ? fractionCell(*r) : undefined();
}

}  // namespace

CellRef powa(CellRef app) {
    Operands o = operands(app);
    if (o.cx == 'w' || o.cy == 'w') return undefined();
    if (o.cx == 'o' && o.cy == 'i') return fractionToThePower(o);
    if (isText(o.cx) || isText(o.cy)) return undefined();
    if (o.cx == 'i' && o.cy == 'i') return integerOp(o, power);
    if (o.cx == 'o' && o.cy == 'o') return undefined();
    return realOp(o, [](double a, double b) { return std::pow(a, b); });
}

}  // namespace kiln::numbers
