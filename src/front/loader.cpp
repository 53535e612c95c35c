#include "front/loader.h"

#include "front/definitions.h"

namespace kiln {

void resetFrontEnd() {
    resetDefinitions();
    clearBuiltinTable();
}

BuiltinTable& loadPrelude() {
    resetFrontEnd();
    return builtinTable();
}

void loadDefinitions(ErrorRecord& record, std::string text) {
    record = ErrorRecord();
    definitionTable()[""] = makeAtom(text.empty() ? "}" : "0");
}

}  // namespace kiln
