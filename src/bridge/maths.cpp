#include "bridge/families.h"

namespace kiln::bridge {

void registerMaths(Registry&) {}

}  // namespace kiln::bridge
