#include "numbers/integer.h"

#include <cmath>

#include "numbers/operands.h"

namespace kiln::numbers {

Integer parseNumeral(std::string_view text) {
    Integer n;
    bool negative = text.size() > 1 && text[0] == '0';
    n.magnitude = digitsToLimbs(negative ? text.substr(1) : text);
    n.negative = negative && !n.magnitude.empty();
    return n;
}

std::string numeralString(const Integer& n) {
    std::string digits = limbsToDigits(n.magnitude);
    if (n.negative && !n.isZero()) digits.insert(digits.begin(), '0');
    return digits;
}

CellRef integerCell(Integer&& n) { return makeNumeral(std::move(n)); }
CellRef integerCell(const Integer& n) { return makeNumeral(Integer(n)); }

namespace {

// Whether every byte is a digit: then the text is the canonical numeral of
// its value, and the numeral may keep the value beside it.
bool allDigits(std::string_view t) {
    for (char ch : t)
        if (ch < '0' || ch > '9') return false;
    return true;
}

}  // namespace

const Integer* integerView(const Cell* c, Integer& scratch) {
    if (rawIsAtom(c)) {
        unsigned char f = rawFirst(c);
        if (f < '0' || f > '9') return nullptr;
        if (const Integer* kept = keptDecimal(c)) return kept;
        int64_t v;
        if (keptSmall(c, v)) {
            scratch.negative = v < 0;
            uint64_t m = v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            scratch.magnitude.clear();
            for (; m; m /= kDecimalBase) scratch.magnitude.push_back(static_cast<uint32_t>(m % kDecimalBase));
            return &scratch;
        }
        std::string_view text = atomText(c);
        scratch = parseNumeral(text);
        if (text.size() > 18 && allDigits(text)) {
            // Read once: the numeral keeps its limbs for the next operation.
            keepDecimal(c, Integer(scratch));
            if (const Integer* kept = keptDecimal(c)) return kept;
        }
        return &scratch;
    }
    std::string text;
    if (!numeralOf(c, text)) return nullptr;
    scratch = parseNumeral(text);
    return &scratch;
}

bool readInteger(const Cell* c, Integer& out) {
    const Integer* v = integerView(c, out);
    if (!v) return false;
    if (v != &out) out = *v;
    return true;
}

bool readInt64(const Cell* c, int64_t& out) {
    if (rawIsAtom(c) && rawFirst(c) == 'K' && rawSecond(c) == 0) {
        out = 0;
        return true;
    }
    if (smallInteger(c, out)) return true;
    Integer scratch;
    const Integer* n = integerView(c, scratch);
    if (!n) return false;
    uint64_t m = 0;
    for (size_t i = n->magnitude.size(); i-- > 0;) m = m * kDecimalBase + n->magnitude[i];
    out = static_cast<int64_t>(n->negative ? uint64_t{0} - m : m);
    return true;
}

std::string addDecimal(std::string_view a, std::string_view b) {
    return numeralString(add(parseNumeral(a), parseNumeral(b)));
}

std::string negateDecimal(std::string_view a) { return numeralString(negate(parseNumeral(a))); }

Integer negate(Integer n) {
    if (!n.isZero()) n.negative = !n.negative;
    return n;
}

namespace {

// a + b, with b's sign read as negative when bNegative.
Integer signedSum(const Integer& a, const Integer& b, bool bNegative) {
    Integer r;
    if (a.negative == bNegative) {
        r.magnitude = Decimal::add(a.magnitude, b.magnitude);
        r.negative = a.negative;
    } else if (Decimal::compare(a.magnitude, b.magnitude) < 0) {
        r.magnitude = Decimal::subtract(b.magnitude, a.magnitude);
        r.negative = bNegative;
    } else {
        r.magnitude = Decimal::subtract(a.magnitude, b.magnitude);
        r.negative = a.negative;
    }
    if (r.isZero()) r.negative = false;
    return r;
}

}  // namespace

Integer add(const Integer& a, const Integer& b) { return signedSum(a, b, b.negative); }

Integer subtract(const Integer& a, const Integer& b) { return signedSum(a, b, !b.isZero() && !b.negative); }

Integer multiply(const Integer& a, const Integer& b) {
    Integer r;
    r.magnitude = Decimal::multiply(a.magnitude, b.magnitude);
    r.negative = !r.isZero() && a.negative != b.negative;
    return r;
}

std::optional<Integer> floorDivide(const Integer& a, const Integer& b) {
    if (b.isZero()) return std::nullopt;
    Integer q;
    Limbs rem;
    // Only a quotient of opposite signs needs the remainder.
    Decimal::divide(a.magnitude, b.magnitude, &q.magnitude, a.negative != b.negative ? &rem : nullptr);
    if (a.negative != b.negative) {
        if (!rem.empty()) q.magnitude = Decimal::add(q.magnitude, Limbs{1});
        q.negative = !q.isZero();
    }
    return q;
}

std::optional<Integer> remainder(const Integer& a, const Integer& b) {
    if (b.isZero()) return std::nullopt;
    Integer r;
    Decimal::divide(a.magnitude, b.magnitude, nullptr, &r.magnitude);
    if (a.negative != b.negative && !r.isZero()) r.magnitude = Decimal::subtract(b.magnitude, r.magnitude);
    return r;
}

bool isOdd(const Integer& n) { return !n.isZero() && (n.magnitude[0] & 1); }

std::optional<Integer> power(const Integer& a, const Integer& b) {
    if (b.negative) return Integer{};
    if (b.isZero()) return Integer{false, Limbs{1}};
    if (a.isZero()) return Integer{};
    Integer r;
    r.negative = a.negative && isOdd(b);
    if (a.magnitude.size() == 1 && a.magnitude[0] == 1) {
        r.magnitude = Limbs{1};
        return r;
    }
    // |a| >= 2: the result has about e * log10|a| digits.
    if (b.magnitude.size() > 2) return std::nullopt;
    uint64_t e = b.magnitude[0] + (b.magnitude.size() > 1 ? uint64_t{b.magnitude[1]} * kDecimalBase : 0);
    const Limbs& m = a.magnitude;
    double top = m.back() + (m.size() > 1 ? m[m.size() - 2] / 1e9 : 0.0);
    double digits = static_cast<double>(e) * (std::log10(top) + 9.0 * static_cast<double>(m.size() - 1));
    if (digits > static_cast<double>(kMaxPowerDigits)) return std::nullopt;
    r.magnitude = Decimal::power(m, e);
    return r;
}

int compare(const Integer& a, const Integer& b) {
    if (a.negative != b.negative) return a.negative ? -1 : 1;
    int c = Decimal::compare(a.magnitude, b.magnitude);
    return a.negative ? -c : c;
}

}  // namespace kiln::numbers
