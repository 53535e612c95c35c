#include "bridge/bridge.h"

namespace kiln {

void registerBridge(Registry&) {}

}  // namespace kiln
