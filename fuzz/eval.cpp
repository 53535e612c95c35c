// Fuzz target `eval`: the bytes as a program, loaded, compiled and run as
// kiln runs it, with a budget of 10^5 steps and every builtin that reaches
// the host answering "Z". The outcome (a result, "Z" for a spent budget, a
// report) does not matter; a crash, an assertion or a hang does.
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kiln::fuzz::startLibrary(true, 100000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = kiln::fuzz::inputText(data, size);
    kiln::loadPrelude();
    kiln::ErrorRecord record;
    kiln::loadDefinitions(record, std::move(text));
    if (record.empty()) kiln::run(record, 0);
    kiln::resetFrontEnd();
    return 0;
}
