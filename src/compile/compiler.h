// Checking and compiling every definition in place, between loading and the
// run. The first failed check fills the record ("Alive", "Place", "Arity",
// "Funky", "Local"); on success the record is empty again.
#pragma once

#include "cells/diagnostics.h"

namespace kiln {

ErrorRecord& compileDefinitions(ErrorRecord& record);

}  // namespace kiln
