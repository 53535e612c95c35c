// Reals: IEEE 754 doubles in real atoms, and the conversions of the other
// number kinds to them.
#pragma once

#include <string>

#include "cells/cell.h"

namespace kiln::numbers {

// The "%e" text of a double ("2.500000e+00", "inf", "nan").
std::string realText(double d);

// The double of a number of class 'e', 'i' or 'o': an integer through
// strtod (correctly rounded), a binary fraction truncated toward zero.
// False for a malformed number or another class.
bool toReal(const Cell* c, char cls, double& out);

// The double spelled by a bit-pattern structure: an octet tree (three levels
// of pairs ((V l) r)) whose eight leaves are octet trees of "K"/"H" leaves.
// Leaves in reading order are the bits from least to most significant.
bool bitPattern(const Cell* c, double& out);

}  // namespace kiln::numbers
