#include "reduce/trace.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "cells/integers.h"
#include "cells/values.h"
#include "front/names.h"

namespace kiln {

CallState gCallState;

namespace {

uint64_t gLines = 0;

constexpr int kDepthLimit = 40;

bool isZ(const Cell* c) { return rawIsAtom(c) && std::strcmp(rawText(c), "Z") == 0; }

// Capitals, bytes outside the printable range and operator characters print
// next to each other without a blank (the printer's rule).
bool nameLike(unsigned char ch) {
    return (ch >= 'A' && ch <= 'Z') || ch < 32 || ch > 126 || isOperatorCharacter(ch);
}

bool juxtaposable(std::string_view b) {
    if (b.empty()) return false;
    unsigned char f = static_cast<unsigned char>(b[0]);
    if (b.size() == 1 && nameLike(f)) return true;
    return f == '_' || (f >= 'a' && f <= 'z') || (f >= '0' && f <= '9');
}

// An atom as the printer writes it, reading at most about `room` bytes of
// a long text.
void appendAtom(std::string& out, const Cell* c, size_t room) {
    std::string_view t = atomText(c);
    if (t.empty() || t[0] == ')' || t[0] == ']') {
        out += "()";
        return;
    }
    if (t[0] == ' ') {
        char buf[64];
        std::snprintf(buf, sizeof buf, "real[%e]", realValue(c));
        out += buf;
        return;
    }
    if (t[0] == '(') {
        std::string_view payload = byteStringPayload(c);
        if (payload.empty()) {
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
    out += t.substr(0, room + 1);
}

// The printer's rules for a pair, stopping once the text is past the limit.
void emit(std::string& out, const Cell* c, size_t limit, int depth) {
    if (out.size() > limit) return;
    size_t room = limit - out.size();
    if (rawIsAtom(c)) {
        appendAtom(out, c, room);
        return;
    }
    if (isBitChain(c) && isInteger(c)) {
        out += numeralText(c);
        return;
    }
    if (depth >= kDepthLimit) {
        out += "(...)";
        return;
    }
    size_t start = out.size();
    emit(out, rawLeft(c), limit, depth + 1);
    if (out.size() > limit) return;
    const Cell* r = rawRight(c);
    bool aOpens = out[start] == '(';
    if (aOpens && out.size() > start + 1 && out[start + 1] != ')' && out.back() == ')') {
        out.pop_back();
        out += ' ';
        emit(out, r, limit, depth + 1);
        out += ')';
        return;
    }
    if (!aOpens && nameLike(static_cast<unsigned char>(out[start])) && rawIsAtom(r)) {
        size_t b = out.size();
        appendAtom(out, r, limit - std::min(limit, b));
        if (juxtaposable(std::string_view(out).substr(b))) return;
        out.insert(b, 1, ' ');
        out.insert(start, 1, '(');
        out += ')';
        return;
    }
    out.insert(start, 1, '(');
    out += ' ';
    emit(out, r, limit, depth + 1);
    out += ')';
}

// Bytes outside 32-126 are written as "[XX]" so that a trace line stays
// one line.
std::string visible(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : text) {
        if (b >= 32 && b <= 126) {
            out += static_cast<char>(b);
        } else {
            out += '[';
            out += hex[b >> 4];
            out += hex[b & 15];
            out += ']';
        }
    }
    return out;
}

void writeLine(const std::string& line) {
    if (gLines >= kTraceLineLimit) return;
    ++gLines;
    std::string out = line;
    if (gLines == kTraceLineLimit)
        out += "\nkiln: trace: stopped after " + std::to_string(kTraceLineLimit) + " lines";
    out += '\n';
    std::fflush(stdout);
    std::fwrite(out.data(), 1, out.size(), stderr);
}

std::string callText(const char* name, int arity, Cell* const* args) {
    std::string out = name;
    out += '(';
    for (int i = 0; i < arity; ++i) {
        if (i) out += ", ";
        out += visible(traceForm(args[i]));
    }
    out += ')';
    return out;
}

std::string whereText() {
    const std::string* d = gCallState.definition;
    if (!d || d->empty()) return " in the main expression";
    return " in " + visible(*d);
}

}  // namespace

std::string traceForm(const Cell* c, size_t limit) {
    std::string out;
    emit(out, c, limit, 0);
    if (out.size() > limit) {
        out.resize(limit);
        out += "...";
    }
    return out;
}

TraceMode traceModeOf(const char* value) {
    if (!value) return TraceMode::Off;
    std::string_view v(value);
    if (v == "z" || v == "Z") return TraceMode::Z;
    if (v == "calls") return TraceMode::Calls;
    return TraceMode::Off;
}

void setTraceMode(TraceMode mode) {
    gCallState.mode = mode;
    gLines = 0;
}

CellRef tracedCall(const char* name, int arity, Handler handler, CellRef app) {
    Cell* args[16];
    int n = arity < 16 ? arity : 16;
    spineArguments(app.get(), n, args);
    bool zIn = false;
    for (int i = 0; i < n; ++i) zIn = zIn || isZ(args[i]);
    bool wanted = gCallState.mode == TraceMode::Calls || !zIn;
    // The arguments are kept for the line written after the call.
    CellRef held[16];
    if (wanted)
        for (int i = 0; i < n; ++i) held[i] = CellRef(args[i]);
    const char* outer = gCallState.builtin;
    gCallState.builtin = name;
    CellRef result = handler(std::move(app));
    gCallState.builtin = outer;
    if (!wanted || gLines >= kTraceLineLimit) return result;
    Cell* kept[16];
    for (int i = 0; i < n; ++i) kept[i] = held[i].get();
    if (gCallState.mode == TraceMode::Calls) {
        writeLine("kiln: trace: " + callText(name, n, kept) + " = " + visible(traceForm(result.get())) +
                  whereText());
    } else if (isZ(result.get())) {
        writeLine("kiln: trace: Z from " + callText(name, n, kept) + whereText());
    }
    return result;
}

}  // namespace kiln
