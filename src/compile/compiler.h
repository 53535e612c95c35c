// Checking and compiling every definition in place, between loading and the
// run. The first failed check fills the record ("Alive", "Place", "Arity",
// "Funky", "Local"); on success the record is empty again.
#pragma once

#include <set>
#include <string>

#include "cells/diagnostics.h"
#include "front/definitions.h"

namespace kiln {

ErrorRecord& compileDefinitions(ErrorRecord& record);

// The definitions of the table that use a name the table lacks, directly
// or through other such definitions. The structural keys "\" and "{" are
// never among them: their bodies are placeholders.
std::set<std::string> brokenDefinitions(const DefinitionTable& table);

// The number of leading lambda nodes of a body.
int leadingLambdas(const Cell* body);

}  // namespace kiln
