#include "bridge/families.h"

namespace kiln::bridge {

void registerProcess(Registry&) {}

}  // namespace kiln::bridge
