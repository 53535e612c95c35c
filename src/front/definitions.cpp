#include "front/definitions.h"

namespace kiln {

namespace {
struct Tables {
    DefinitionTable definitions;
    NameSet nullary;
    Tables() { setDefinitionLookup(lookupDefinition); }
};
Tables& tables() {
    static Tables* t = new Tables;  // lives until the process ends
    return *t;
}
}  // namespace

DefinitionTable& definitionTable() { return tables().definitions; }
NameSet& nullaryNames() { return tables().nullary; }

uint64_t gDefinitionsEpoch = 1;

void resetDefinitions() {
    tables().definitions.clear();
    tables().nullary.clear();
    ++gDefinitionsEpoch;
}

const Cell* lookupDefinition(std::string_view key) {
    DefinitionTable& t = tables().definitions;
    auto it = t.find(key);
    return it == t.end() ? nullptr : it->second.get();
}

}  // namespace kiln
