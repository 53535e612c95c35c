#include "bridge/families.h"

namespace kiln::bridge {

void registerFiles(Registry&) {}

}  // namespace kiln::bridge
