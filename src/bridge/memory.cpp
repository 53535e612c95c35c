#include "bridge/families.h"

namespace kiln::bridge {

void registerMemory(Registry&) {}

}  // namespace kiln::bridge
