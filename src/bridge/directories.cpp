#include "bridge/families.h"

namespace kiln::bridge {

void registerDirectories(Registry&) {}

}  // namespace kiln::bridge
