// Fuzz target `eval`: the bytes as a program, loaded, compiled and run as
// kiln runs it, with a budget of 10^5 steps and every builtin that reaches
// the host answering "Z". The outcome (a result, "Z" for a spent budget, a
// report) does not matter; a crash, an assertion or a hang does.
#include "fuzz/harness.h"

KILN_FUZZ_START(true, 100000)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kiln::ErrorRecord record;
    kiln::fuzz::loadInput(data, size, record);
    if (record.empty()) kiln::run(record, 0);
    kiln::resetFrontEnd();
    return 0;
}
