// What the three fuzz targets share: the library's start-up, done once, and
// the run of one input on the interpreter's large stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cells/cell.h"
#include "driver/stages.h"
#include "front/loader.h"
#include "reduce/engine.h"

namespace kiln::fuzz {

// The input on a thread with the interpreter's stack: deep values built by
// one input are walked recursively, as they are under kiln itself.
template <typename Body>
void runInput(const uint8_t* data, size_t size, Body body) {
    struct Call {
        std::string text;
        Body* body;
    } call{std::string(reinterpret_cast<const char*>(data), size), &body};
    runWithLargeStack(
        [](void* p) {
            Call* c = static_cast<Call*>(p);
            (*c->body)(std::move(c->text));
        },
        &call);
}

// Every family bound; with hostless set, the builtins that reach the host
// answer "Z" and evaluation stops after stepBudget steps.
inline void startLibrary(bool hostless, uint64_t stepBudget) {
    registerAllFamilies();
    if (hostless) disableHostBuiltins();
    setStepBudget(stepBudget);
}

}  // namespace kiln::fuzz
