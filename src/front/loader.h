// Loading source text: the prelude, then the program.
#pragma once

#include <string>

#include "cells/diagnostics.h"
#include "front/registry.h"

namespace kiln {

// Empties the definition table, the nullary names and the builtin table.
void resetFrontEnd();

// Resets the front end and enters the prelude's definitions.
BuiltinTable& loadPrelude();

// Checks the program text, enters the builtin placeholders and the program's
// definitions; on failure fills the record ("Match", "Comma", "Built").
void loadDefinitions(ErrorRecord& record, std::string text);

}  // namespace kiln
