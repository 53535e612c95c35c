// Fuzz target `front`: the bytes as a program text through loading,
// checking and compiling. Nothing is evaluated. Any input must end in an
// empty record or a report, never in a crash, an assertion or a hang.
#include "compile/compiler.h"
#include "fuzz/harness.h"

KILN_FUZZ_START(false, 0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kiln::ErrorRecord record;
    kiln::fuzz::loadInput(data, size, record);
    if (record.empty()) kiln::compileDefinitions(record);
    kiln::resetFrontEnd();
    return 0;
}
