#include "bridge/families.h"

namespace kiln::bridge {

void registerStrings(Registry&) {}

}  // namespace kiln::bridge
