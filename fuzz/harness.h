// What the three fuzz targets share: the library's start-up, done once, and
// the input as a text.
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

}  // namespace kiln::fuzz
