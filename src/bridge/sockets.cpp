#include "bridge/families.h"

namespace kiln::bridge {

void registerSockets(Registry&) {}

}  // namespace kiln::bridge
