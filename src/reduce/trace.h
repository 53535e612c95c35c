// Every builtin call of an evaluator goes through callBuiltin: it records
// the builtin running now (for the fault report) and, when KILN_TRACE asks,
// writes the call to stderr.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cells/cell.h"
#include "front/registry.h"

namespace kiln {

enum class TraceMode : uint8_t { Off, Z, Calls };

struct CallState {
    const char* builtin = nullptr;            // the builtin whose handler runs, or null
    const std::string* definition = nullptr;  // the definition most recently entered
    TraceMode mode = TraceMode::Off;
};
extern CallState gCallState;

// Whether a definition's name is recorded when its body is entered: words
// only, since the capitals and operators of the prelude would hide the
// program's own definitions. An evaluator decides it once per head.
inline bool recordedName(std::string_view name) {
    unsigned char f = name.empty() ? 0 : static_cast<unsigned char>(name[0]);
    return f == '_' || (f >= 'a' && f <= 'z');
}

// An evaluator calls this when it enters the body of a definition whose
// name is recorded; the name must outlive the evaluation (the engine's
// cached resolutions do).
inline void enteringDefinition(const std::string& name) { gCallState.definition = &name; }

CellRef tracedCall(const char* name, int arity, Handler handler, CellRef app);

// Calls the handler of a builtin of that arity on its saturated application.
inline CellRef callBuiltin(const char* name, int arity, Handler handler, CellRef app) {
    if (__builtin_expect(gCallState.mode != TraceMode::Off, 0))
        return tracedCall(name, arity, handler, std::move(app));
    const char* outer = gCallState.builtin;
    gCallState.builtin = name;
    CellRef result = handler(std::move(app));
    gCallState.builtin = outer;
    return result;
}

// The mode named by a KILN_TRACE value: "z", "calls"; anything else (or
// null) is Off.
TraceMode traceModeOf(const char* value);
// Sets the mode and starts the line count afresh.
void setTraceMode(TraceMode mode);

// The most lines one run writes; the last one says the trace stopped.
inline constexpr uint64_t kTraceLineLimit = 10000;
// Each argument and result is cut to this many bytes, marked by "...".
inline constexpr size_t kTraceValueLimit = 80;

// The bounded printed form used by the trace: showCell's form, cut at
// `limit` bytes (then ending in "..."), integers' bit chains as numerals.
std::string traceForm(const Cell* c, size_t limit = kTraceValueLimit);

}  // namespace kiln
