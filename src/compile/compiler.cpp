#include "compile/compiler.h"

namespace kiln {

ErrorRecord& compileDefinitions(ErrorRecord& record) {
    record = ErrorRecord();
    return record;
}

}  // namespace kiln
