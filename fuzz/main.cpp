// The fuzzers' entry point: libFuzzer's own driver, run on one thread with
// the interpreter's large stack, so that every input runs there without a
// thread of its own per input.
#include <cstddef>
#include <cstdint>

#include "cells/cell.h"

extern "C" int LLVMFuzzerRunDriver(int* argc, char*** argv,
                                   int (*test)(const uint8_t* data, size_t size));
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
struct Command {
    int argc;
    char** argv;
    int status;
};
}  // namespace

int main(int argc, char** argv) {
    Command c{argc, argv, 0};
    kiln::runWithLargeStack(
        [](void* p) {
            Command* c = static_cast<Command*>(p);
            c->status = LLVMFuzzerRunDriver(&c->argc, &c->argv, LLVMFuzzerTestOneInput);
        },
        &c);
    return c.status;
}
