#include "front/lexer.h"

#include <algorithm>
#include <cstring>

#include "cells/diagnostics.h"

namespace kiln {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

bool oneOf(unsigned char c, const char* set, size_t n) { return c != 0 && std::memchr(set, c, n) != nullptr; }

}  // namespace

// --- character classes ----------------------------------------------------

bool isOperatorChar(unsigned char c) { return c == '\n' || c == ' ' || oneOf(c, "#%&'*+,-./:;<=>?@\\^|", 20); }
bool isBracketChar(unsigned char c) { return isOpener(c) || isCloser(c); }
bool isOpener(unsigned char c) { return c == '(' || c == '[' || c == '{'; }
bool isCloser(unsigned char c) { return c == ')' || c == ']' || c == '}'; }
bool isUnaryOperatorChar(unsigned char c) { return oneOf(c, "~!\"$`", 5); }
bool isWordChar(unsigned char c) { return c == '_' || (c >= 'a' && c <= 'z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isTermEndingChar(unsigned char c) {
    return c == ' ' || c == '\n' || oneOf(c, "~!@#$%^&*<>-|+/=\\.`'\":;?(){},[]", 31);
}

const char* bracketKindName(unsigned char c) {
    switch (c) {
        case '(':
        case ')': return "parenthesis";
        case '[':
        case ']': return "bracket";
        case '{':
        case '}': return "wing";
        default: assertionFailed("b", __LINE__);
    }
}

// --- normalisation --------------------------------------------------------

namespace {
bool isSpace(unsigned char c) { return c == ' ' || c == '\n'; }

// Copies the square-bracket group starting at pos; answers the position
// after it. A line break vanishes with the spaces pending before it.
size_t copyLiteral(std::string_view t, size_t pos, std::string& out, std::vector<size_t>* origins) {
    int64_t depth = 0;
    size_t pending = 0;
    for (; pos < t.size(); ++pos) {
        unsigned char c = static_cast<unsigned char>(t[pos]);
        if (c == '\n') {
            pending = 0;
            continue;
        }
        if (c == ' ') {
            ++pending;
            continue;
        }
        out.append(pending, ' ');
        if (origins)
            for (size_t k = pending; k > 0; --k) origins->push_back(pos - k);
        pending = 0;
        out.push_back(static_cast<char>(c));
        if (origins) origins->push_back(pos);
        if (c == '[') ++depth;
        if (c == ']' && --depth == 0) return pos + 1;
    }
    return pos;
}
}  // namespace

std::string normalizeSpacing(std::string_view t, std::vector<size_t>* origins) {
    size_t start = 0, end = t.size();
    while (start < end && isSpace(static_cast<unsigned char>(t[start]))) ++start;
    while (end > start && isSpace(static_cast<unsigned char>(t[end - 1]))) --end;
    std::string out;
    out.reserve(end - start);
    size_t pos = start;
    while (pos < end) {
        unsigned char c = static_cast<unsigned char>(t[pos]);
        if (c == '[') {
            pos = copyLiteral(t, pos, out, origins);
            continue;
        }
        if (!isSpace(c)) {
            out.push_back(static_cast<char>(c));
            if (origins) origins->push_back(pos);
            ++pos;
            continue;
        }
        size_t q = pos;
        bool newline = false;
        while (q < end && isSpace(static_cast<unsigned char>(t[q]))) newline |= t[q++] == '\n';
        unsigned char prev = static_cast<unsigned char>(t[pos - 1]);
        unsigned char next = static_cast<unsigned char>(t[q]);
        bool drop = isOperatorChar(prev) || isOperatorChar(next) || prev == '{' || prev == '(' || prev == '}' ||
                    next == '}' || next == ')' || next == '{';
        if (!drop) {
            out.push_back(newline ? '\n' : ' ');
            if (origins) origins->push_back(pos);
        }
        pos = q;
    }
    return out;
}

// --- brackets -------------------------------------------------------------

size_t matchBracket(std::string_view t, size_t p) {
    if (p >= t.size()) assertionFailed("b", __LINE__);
    unsigned char c = static_cast<unsigned char>(t[p]);
    if (!isBracketChar(c)) return p;
    const bool square = c == '[' || c == ']';
    const int64_t step = (c == '[' || c == '(' || c == '{') ? 1 : -1;
    int64_t depth = 0;
    int64_t i = static_cast<int64_t>(p);
    const int64_t n = static_cast<int64_t>(t.size());
    for (;;) {
        if (i < 0 || i >= n) assertionFailed("b", __LINE__);
        unsigned char ch = static_cast<unsigned char>(t[static_cast<size_t>(i)]);
        if (square) {
            depth += (ch == '[' ? 1 : ch == ']' ? -1 : 0) * step;
        } else if (ch == '[' || ch == ']') {
            int64_t j = static_cast<int64_t>(matchBracket(t, static_cast<size_t>(i)));
            if ((j - i) * step <= 0) assertionFailed("b", __LINE__);
            i = j;
        } else {
            depth += (ch == '(' || ch == '{' ? 1 : ch == ')' || ch == '}' ? -1 : 0) * step;
        }
        if (depth < 0) assertionFailed("b", __LINE__);
        if (depth == 0) return static_cast<size_t>(i);
        i += step;
    }
}

BracketIndex::BracketIndex(std::string_view text) : text_(text), partner_(text.size(), kNone) {
    std::vector<size_t> open;
    auto fits = [](unsigned char o, unsigned char c) {
        return (o == '(' && c == ')') || (o == '[' && c == ']') || (o == '{' && c == '}');
    };
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!isBracketChar(c)) continue;
        if (!open.empty() && text[open.back()] == '[' && c != '[' && c != ']') continue;
        if (isOpener(c)) {
            open.push_back(i);
            continue;
        }
        if (open.empty()) {
            fault_ = Fault::LeftDangling;
            faultPosition_ = i;
            return;
        }
        size_t o = open.back();
        if (!fits(static_cast<unsigned char>(text[o]), c)) {
            fault_ = Fault::DoesNotFit;
            faultPosition_ = o;
            faultCloser_ = i;
            return;
        }
        open.pop_back();
        partner_[o] = i;
        partner_[i] = o;
    }
    if (!open.empty()) {
        fault_ = Fault::RightDangling;
        faultPosition_ = open.back();
    }
}

size_t BracketIndex::match(size_t pos) const {
    size_t p = pos < partner_.size() ? partner_[pos] : kNone;
    return p == kNone ? pos : p;
}

size_t BracketIndex::skip(size_t pos) const { return std::max(match(pos), pos) + 1; }

// --- the top-level split --------------------------------------------------

SeparatorList splitTopLevel(const BracketIndex& index, Piece whole, std::string_view separators) {
    SeparatorList list(whole);
    std::string_view t = index.text();
    for (size_t i = whole.begin; i < whole.end; i = index.skip(i))
        if (oneOf(static_cast<unsigned char>(t[i]), separators.data(), separators.size())) list.push(i);
    return list;
}

Piece headPiece(const SeparatorList& list) {
    if (list.empty()) return list.whole();
    return Piece{list.whole().begin, list.front()};
}

Piece tailPiece(const BracketIndex& index, const SeparatorList& list) {
    if (list.empty()) return list.whole();
    return Piece{index.skip(list.back()), list.whole().end};
}

Piece popBackPiece(const BracketIndex& index, SeparatorList& list) {
    size_t p = list.back();
    list.popBack();
    if (list.empty()) return Piece{list.whole().begin, p};
    return Piece{index.skip(list.back()), p};
}

Piece popFrontPiece(SeparatorList& list) {
    size_t p = list.front();
    list.popFront();
    return Piece{p + 1, list.empty() ? list.whole().end : list.front()};
}

// --- terms ----------------------------------------------------------------

std::vector<Piece> cutTerms(const BracketIndex& index, Piece whole) {
    std::vector<Piece> terms;
    if (whole.empty()) return terms;
    std::string_view t = index.text();
    size_t start = whole.begin;
    for (size_t i = index.skip(whole.begin); i < whole.end;) {
        unsigned char c = static_cast<unsigned char>(t[i]);
        unsigned char prev = static_cast<unsigned char>(t[i - 1]);
        bool begins = c == '[' || c == '(' || (isWordChar(c) && !isWordChar(prev)) ||
                      (!isWordChar(c) && !isDigit(c) && !isTermEndingChar(c)) || (isDigit(c) && !isDigit(prev)) ||
                      prev == ')' || prev == ']';
        if (begins) {
            terms.push_back(Piece{start, i});
            start = i;
        }
        i = isOpener(c) ? index.skip(i) : i + 1;
    }
    terms.push_back(Piece{start, whole.end});
    return terms;
}

TermKind termKind(std::string_view term) {
    if (term.empty()) assertionFailed("b", __LINE__);
    unsigned char c = static_cast<unsigned char>(term[0]);
    if (isDigit(c)) return TermKind::Numeral;
    if (isWordChar(c)) return TermKind::Word;
    if (c == '[') return TermKind::Literal;
    if (c == '(') return TermKind::Parenthesised;
    return TermKind::Single;
}

}  // namespace kiln
