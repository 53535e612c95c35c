#include "front/load_builtin.h"

namespace kiln {

void registerLoad(Registry&) {}

}  // namespace kiln
