// Renaming bound names to letters.
#pragma once

#include <string_view>

#include "cells/cell.h"
#include "compile/namelist.h"

namespace kiln {

// Renames the binders whose key is `old` to the atom `name`, together with
// every occurrence of `old` in their scope. Free occurrences of `old` (a
// global of the same name) are left alone.
CellRef renameBinder(CellRef e, std::string_view old, std::string_view name);

// Renames every occurrence of `old` in e, which lies in the scope of a
// binder renameBinder changed; rebinding `old` keeps the same letter.
CellRef renameInScope(CellRef e, std::string_view old, std::string_view name);

// Gives each name of longNames, in ascending order, the first letter a-z
// not in letters (which gains it) and renames its binders. The caller has
// checked that the two lists hold at most 26 names together.
CellRef renameLongBinders(CellRef body, const NameList& longNames, NameList letters);

}  // namespace kiln
