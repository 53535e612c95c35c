// The data family of builtins.
#pragma once

#include "front/registry.h"

namespace kiln {

void registerData(Registry& registry);

}  // namespace kiln
