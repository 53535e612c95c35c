// The process-wide definition table and the set of nullary names.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "cells/cell.h"

namespace kiln {

// Key to body, ordered bytewise with a proper prefix first. The main
// expression (and, after a run, its result) lives under the empty key.
using DefinitionTable = std::map<std::string, CellRef, std::less<>>;
using NameSet = std::set<std::string, std::less<>>;

DefinitionTable& definitionTable();
// Names whose latest definition was written with an empty call list.
NameSet& nullaryNames();

// Empties both; caches of what names resolve to notice it through the epoch.
void resetDefinitions();
extern uint64_t gDefinitionsEpoch;  // changed only by resetDefinitions
inline uint64_t definitionsEpoch() { return gDefinitionsEpoch; }

// The body bound to a key, or null.
const Cell* lookupDefinition(std::string_view key);

}  // namespace kiln
