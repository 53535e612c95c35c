// Fuzz target `load`: the bytes as the byte-string argument of the builtin
// `load`, with the prelude in the tables. The builtin answers (I m) or "Z";
// the loaded main expression is printed, as `lisp` would show it.
#include "cells/integers.h"
#include "compile/printer.h"
#include "front/load_builtin.h"
#include "fuzz/harness.h"

KILN_FUZZ_START(true, 100000)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kiln::loadPrelude();
    kiln::CellRef text = kiln::makeByteString(kiln::fuzz::inputText(data, size));
    kiln::CellRef loaded = kiln::loadBuiltin(kiln::apply(kiln::makeAtom("load"), std::move(text)));
    (void)kiln::showCell(loaded);
    kiln::resetFrontEnd();
    return 0;
}
