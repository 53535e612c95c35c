// Fuzz target `front`: the bytes as a program text through loading,
// checking and compiling. Nothing is evaluated. Any input must end in an
// empty record or a report, never in a crash, an assertion or a hang.
#include "compile/compiler.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kiln::fuzz::startLibrary(false, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = kiln::fuzz::inputText(data, size);
    kiln::loadPrelude();
    kiln::ErrorRecord record;
    kiln::loadDefinitions(record, std::move(text));
    if (record.empty()) kiln::compileDefinitions(record);
    kiln::resetFrontEnd();
    return 0;
}
