// What the three fuzz targets share: the start-up, done once, and the input
// as a text or a loaded program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/stages.h"
#include "front/loader.h"
#include "reduce/engine.h"

namespace kiln::fuzz {

// The input as a text. fuzz/main.cpp runs every input on the interpreter's
// large stack, so deep values built by one input are walked as under kiln.
inline std::string inputText(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Every family bound; with hostless set, the builtins that reach the host
// answer "Z" and evaluation stops after stepBudget steps.
inline void startLibrary(bool hostless, uint64_t stepBudget) {
    registerAllFamilies();
    if (hostless) disableHostBuiltins();
    setStepBudget(stepBudget);
}

// The prelude, then the input as a program text, into the record.
inline void loadInput(const uint8_t* data, size_t size, ErrorRecord& record) {
    loadPrelude();
    loadDefinitions(record, inputText(data, size));
}

}  // namespace kiln::fuzz

// The target's start-up, once before the first input.
#define KILN_FUZZ_START(hostless, stepBudget)                        \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {             \
        kiln::fuzz::startLibrary(hostless, stepBudget);              \
        return 0;                                                    \
    }
