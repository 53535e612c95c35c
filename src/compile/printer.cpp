#include "compile/printer.h"

namespace kiln {

std::string showCell(const Cell* c) {
    if (rawIsAtom(c)) return std::string(atomText(c));
    return "(" + showCell(rawLeft(c)) + " " + showCell(rawRight(c)) + ")";
}

std::string showResult(const Cell* c) { return showCell(c); }

}  // namespace kiln
