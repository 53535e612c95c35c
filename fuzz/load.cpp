// Fuzz target `load`: the bytes as the byte-string argument of the builtin
// `load`, with the prelude in the tables. The builtin answers (I m) or "Z";
// the loaded main expression is printed, as `lisp` would show it.
#include "cells/integers.h"
#include "compile/printer.h"
#include "front/load_builtin.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kiln::fuzz::startLibrary(true, 100000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = kiln::fuzz::inputText(data, size);
    kiln::loadPrelude();
    kiln::CellRef app = kiln::apply(kiln::makeAtom("load"), kiln::makeByteString(text));
    kiln::CellRef loaded = kiln::loadBuiltin(std::move(app));
    (void)kiln::showCell(loaded);
    kiln::resetFrontEnd();
    return 0;
}
