#include "reduce/trace.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "cells/values.h"
#include "compile/printer.h"

namespace kiln {

CallState gCallState;

namespace {

uint64_t gLines = 0;

bool isZ(const Cell* c) { return rawIsAtom(c) && std::strcmp(rawText(c), "Z") == 0; }

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

std::string traceForm(const Cell* c, size_t limit) { return showCellShort(c, limit); }

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
