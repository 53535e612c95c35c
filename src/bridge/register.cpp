#include "bridge/bridge.h"
#include "bridge/families.h"

namespace kiln {

void registerBridge(Registry& r) {
    bridge::registerProcess(r);
    bridge::registerMemory(r);
    bridge::registerFiles(r);
    bridge::registerStrings(r);
    bridge::registerSockets(r);
    bridge::registerMaths(r);
    bridge::registerDirectories(r);
}

}  // namespace kiln
