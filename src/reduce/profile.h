// KILN_PROFILE: a table per definition (calls, self and inclusive steps,
// cells, share of time) printed on stderr at exit; the evaluators report
// activations entering and values reaching continuations through the
// inline hooks below, each one test of a global flag when profiling is off.
#pragma once

#include <cstddef>
#include <cstdio>

#include "cells/cell.h"

namespace kiln {

// Starts profiling this process's evaluations (before the first one); with
// times false the table leaves out the time columns and is sorted by self
// steps, so that it is the same on every run.
void startProfile(bool times);
// Writes the table (every activation still running is ended first).
void printProfile(std::FILE* out);
// The KILN_PROFILE value: 0 off, 1 with times, 2 steps only ("steps").
int profileModeOf(const char* value);

namespace reduce {

struct Resolution;
extern bool gProfiling;

// An activation ends when its value reaches the continuation it was started
// under: the frame k (a cell of the graph engine's continuation, or its
// bottom atom) while `depth` activations of the compiled evaluator run.
void profileCallSlow(const Resolution* r, bool tail, const Cell* k, size_t depth);
void profileLambdaSlow(const Cell* application, const Cell* k, size_t depth);
void profileReturnSlow(const Cell* frame, size_t depth);
void profileDeliveredSlow(size_t depth);
void profileTakenSlow(const Cell* top, int frames);
size_t profileOpen();
void profileClose(size_t base);

// A definition entered (tail: replacing the running compiled activation).
inline void profileCall(const Resolution* r, bool tail, const Cell* k, size_t depth) {
    if (__builtin_expect(gProfiling, 0)) profileCallSlow(r, tail, k, depth);
}
// A lambda applied: application is (((\ p) body) a).
inline void profileLambda(const Cell* application, const Cell* k, size_t depth) {
    if (__builtin_expect(gProfiling, 0)) profileLambdaSlow(application, k, depth);
}
// A value returns to the frame on top of the continuation.
inline void profileReturn(const Cell* frame, size_t depth) {
    if (__builtin_expect(gProfiling, 0)) profileReturnSlow(frame, depth);
}
// A value goes to the compiled activation at that depth (0: the evaluation's result).
inline void profileDelivered(size_t depth) {
    if (__builtin_expect(gProfiling, 0)) profileDeliveredSlow(depth);
}
// The top `frames` frames of the continuation are taken by a constructor.
inline void profileTaken(const Cell* top, int frames) {
    if (__builtin_expect(gProfiling, 0)) profileTakenSlow(top, frames);
}

// One evaluation's activations: those still open when it ends are ended.
struct ProfileScope {
    size_t base = 0;
    ProfileScope() {
        if (__builtin_expect(gProfiling, 0)) base = profileOpen();
    }
    ~ProfileScope() {
        if (__builtin_expect(gProfiling, 0)) profileClose(base);
    }
    ProfileScope(const ProfileScope&) = delete;
    ProfileScope& operator=(const ProfileScope&) = delete;
};

}  // namespace reduce
}  // namespace kiln
