// The layout table `_`: the byte layout of the C records that programs read
// and write through raw memory, as one bracketed literal.
//
// The table is "[" + one record per structure + "]"; a record is "[" + name
// + segments + "]"; a segment is "[" + field + "[" + size + "]]", padding
// having an empty field name. Segments lie in offset order and cover the
// structure exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cells/cell.h"

namespace kiln {

// The decimal text of n.
std::string formatInteger(int64_t n);

// The record with the field of the given width at the given offset carved
// out of the padding segment that covers it.
std::string addLayoutField(int64_t width, int64_t offset, std::string_view fieldName, std::string_view record);

// The whole table text (272 bytes) and its atom.
std::string layoutTableText();
CellRef makeLayoutTable();

}  // namespace kiln
