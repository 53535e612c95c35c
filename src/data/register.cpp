#include "data/data.h"

namespace kiln {

void registerData(Registry&) {}

}  // namespace kiln
