// The builtin `load`: source text turned into an expression at run time.
#pragma once

#include "front/registry.h"

namespace kiln {

void registerLoad(Registry& registry);

}  // namespace kiln
