// How a program text parsed, for people: each piece's tree written back in
// the program's own notation with every compound part in brackets, and the
// places where a space applies something to an unbracketed operator
// expression, in positions of the text as written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cells/cell.h"
#include "front/parser.h"

namespace kiln {

// The tree as the program would write it: operators as written ("+", not
// plus), every application and operator node in brackets except the whole
// (f a b for a function applied to several arguments), a lambda's body in
// brackets unless it is another lambda, an empty operand left empty and an
// empty expression elsewhere as "()". Parsing the result again gives the
// same tree.
std::string writtenForm(const Cell* tree);

// The pieces of a program text as loading cuts them.
struct ProgramView {
    struct Part {
        size_t position = 0;  // where the piece starts in the text as written
        CellRef tree;
    };
    // Empty when the bracket check or the parser fails; then error holds
    // the error text ("Match[_____]...") and errorPosition its position in
    // the text as written.
    std::vector<Part> parts;  // the main expression first
    std::string error;
    int64_t errorPosition = -1;
    // The spaced operands, in positions of the text as written.
    std::vector<SpacedOperand> spaced;
};

ProgramView viewProgram(std::string_view text);

}  // namespace kiln
