// The numbers family of builtins.
#pragma once

#include "front/registry.h"

namespace kiln {

void registerNumbers(Registry& registry);

}  // namespace kiln
