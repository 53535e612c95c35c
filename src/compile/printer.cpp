#include "compile/printer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "cells/integers.h"
#include "cells/values.h"
#include "front/charcodes.h"
#include "front/names.h"

namespace kiln {

namespace {

constexpr size_t kResultLiteralLimit = 999;

// Capitals, bytes outside the printable range and operator characters print
// next to each other without a blank.
bool nameLike(unsigned char ch) {
    return (ch >= 'A' && ch <= 'Z') || ch < 32 || ch > 126 || isOperatorCharacter(ch);
}

// Whether the printed right part B may follow its function part directly.
bool juxtaposable(std::string_view b) {
    if (b.empty()) return false;
    unsigned char f = static_cast<unsigned char>(b[0]);
    if (b.size() == 1 && nameLike(f)) return true;
    return f == '_' || (f >= 'a' && f <= 'z') || (f >= '0' && f <= '9');
}

bool isSpecialAtom(std::string_view t) { return t.empty() || t[0] == ')' || t[0] == ']'; }

// An atom as source-like text; of a long text only about `room` bytes.
void appendCellAtom(std::string& out, const Cell* c, size_t room) {
    std::string_view t = atomText(c);
    if (isSpecialAtom(t)) {
        out += "()";
        return;
    }
    unsigned char f = static_cast<unsigned char>(t[0]);
    if (f == ' ') {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%e", realValue(c));
        out += "real[";
        out += buf;
        out += ']';
        return;
    }
    if (f == '(') {
        std::string_view payload = byteStringPayload(c);
        if (payload.empty()) {  // "()": the empty byte string, the end of a list
            out += "()";
            return;
        }
        out += "init[";
        size_t n = 0;
        for (char ch : payload) {
            if (++n > room) break;
            switch (ch) {
                case '\n': out += "[p]"; break;
                case '[': out += "[q]"; break;
                case ']': out += "[r]"; break;
                case '\0': out += '\n'; break;
                default: out += ch;
            }
        }
        out += ']';
        return;
    }
    out += room < t.size() ? t.substr(0, room + 1) : t;
}

// A bracketed literal of a result: the decimal values of its bytes.
void appendResultLiteral(std::string& out, const Cell* c) {
    uint32_t length = rawSpan(c);
    if (length == 0 || length > kResultLiteralLimit) {
        out += "()";
        return;
    }
    std::string text = displayForm(atomText(c));
    std::string written;
    const CharacterTreeTable& trees = characterTreeTable();
    for (char ch : text) {
        unsigned char u = static_cast<unsigned char>(ch);
        std::string digits = std::to_string(static_cast<int>(static_cast<signed char>(ch)));
        if (u < 32 || u > 126) {
            auto it = trees.find(digits);
            if (it != trees.end()) digits = it->second;
        }
        written += digits;
        if (written.size() > kResultLiteralLimit) {
            out += "()";
            return;
        }
    }
    out += written;
}

void appendResultAtom(std::string& out, const Cell* c, size_t) {
    std::string_view t = atomText(c);
    if (t.empty()) {
        out += "()";
        return;
    }
    signed char f = static_cast<signed char>(t[0]);
    if (f == '(' || f == ' ' || f == ')' || f == ']' || f < 32 || f == 127) {
        out += "()";
        return;
    }
    if (f == '[') {
        appendResultLiteral(out, c);
        return;
    }
    out += t;
}

using AtomWriter = void (*)(std::string&, const Cell*, size_t room);

struct Style {
    AtomWriter atom;
    size_t limit;       // stop once the text is longer than this
    bool numeralChains;  // an integer's bit chain prints as its numeral
};

// Appends the text of c. The rule for a pair is chosen once its function
// part A stands in the buffer: a group loses its final ")" and takes B; a
// capital or operator text takes a short B directly; anything else is put
// in parentheses. Only the text of A is ever shifted, and such an A is an
// atom or a run of juxtaposed atoms, so the whole print stays linear. The
// pairs still being printed wait on a stack of their own: a pair whose
// function part is being printed, or one whose argument part is and which
// closes with ")" after it. Past the limit nothing more is read.
void emit(std::string& out, const Cell* root, const Style& style) {
    struct Pending {
        const Cell* pair;
        size_t start;
        bool closing;  // the argument part is being printed
    };
    std::vector<Pending> stack;
    const Cell* c = root;
    auto room = [&] { return style.limit - std::min(style.limit, out.size()); };
    for (;;) {
        // Down the function parts to an atom (or a numeral's chain). Each
        // pair prints as at least one byte, so a spine deeper than the
        // limit is cut there.
        bool numeral = false;
        while (!rawIsAtom(c) && !(numeral = style.numeralChains && isBitChain(c) && isInteger(c)) &&
               stack.size() <= style.limit) {
            stack.push_back(Pending{c, out.size(), false});
            c = rawLeft(c);
        }
        if (rawIsAtom(c))
            style.atom(out, c, room());
        else if (numeral)
            out += numeralText(c);
        else
            out += "...";
        // Up while the parts below are printed.
        for (;;) {
            if (stack.empty() || out.size() > style.limit) return;
            Pending& p = stack.back();
            if (p.closing) {
                out += ')';
                stack.pop_back();
                continue;
            }
            size_t start = p.start;
            const Cell* r = rawRight(p.pair);
            bool aOpens = out[start] == '(';
            if (aOpens && out.size() > start + 1 && out[start + 1] != ')') {
                out.pop_back();
                out += ' ';
                p.closing = true;
                c = r;
                break;
            }
            if (!aOpens && nameLike(static_cast<unsigned char>(out[start])) && rawIsAtom(r)) {
                // Only an atom can print as a text that juxtaposes.
                size_t b = out.size();
                style.atom(out, r, room());
                stack.pop_back();
                if (juxtaposable(std::string_view(out).substr(b))) continue;
                out.insert(b, 1, ' ');
                out.insert(start, 1, '(');
                out += ')';
                continue;
            }
            out.insert(start, 1, '(');
            out += ' ';
            p.closing = true;
            c = r;
            break;
        }
    }
}

constexpr size_t kWhole = static_cast<size_t>(-1);

}  // namespace

std::string showCell(const Cell* c) {
    std::string out;
    emit(out, c, Style{appendCellAtom, kWhole, false});
    return out;
}

std::string showCellShort(const Cell* c, size_t limit) {
    std::string out;
    emit(out, c, Style{appendCellAtom, limit, true});
    if (out.size() > limit) {
        out.resize(limit);
        out += "...";
    }
    return out;
}

std::string showResult(const Cell* c) {
    std::string out;
    emit(out, c, Style{appendResultAtom, kWhole, false});
    return out;
}

std::string displayForm(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        if (ch == '\0')
            ch = '\n';
        else if (ch == '\n')
            ch = '\0';
    }
    return out;
}

}  // namespace kiln
