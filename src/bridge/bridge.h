// The bridge family of builtins.
#pragma once

#include "front/registry.h"

namespace kiln {

void registerBridge(Registry& registry);

}  // namespace kiln
