// Loading source text: the prelude, then the program.
#pragma once

#include <string>
#include <string_view>

#include "cells/diagnostics.h"
#include "front/definitions.h"
#include "front/registry.h"

namespace kiln {

// Empties the definition table, the nullary names and the builtin table.
void resetFrontEnd();

// Resets the front end and enters the prelude's definitions.
BuiltinTable& loadPrelude();

// Checks the program text, enters the builtin placeholders and the program's
// definitions; on failure fills the record ("Match", "Comma", "Built").
void loadDefinitions(ErrorRecord& record, std::string text);

// The prelude's source: 51 definitions, each after a comma (554 bytes).
const std::string& preludeText();

// Parses text that has passed the bracket check and been normalised: the
// main expression goes under the empty key, every later piece that is a
// definition under its key. Pieces that are not definitions are dropped. A
// piece the parser cannot read fills the record with "Comma", a definition
// of "\" or "{" with "Built"; both stop the loading there.
void enterProgramText(ErrorRecord& record, std::string_view normalizedText, DefinitionTable& table,
                      NameSet& nullary);

}  // namespace kiln
