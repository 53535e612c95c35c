// Sharing equal subgraphs: the process-wide table of shared cells.
//
// The compiler fills the table from every definition body; the data
// builtins add to it at run time. Two cells are equal when they are the same
// atom text or pairs of equal parts.
#pragma once

#include <cstddef>

#include "cells/cell.h"

namespace kiln {

// The cell of the table equal to e, when there is one; otherwise e with its
// parts shared, entered into the table.
CellRef shareExpressions(CellRef e);

class SharedExpressionTable {
public:
    static SharedExpressionTable& instance();

    void clear();
    size_t size() const;
    bool contains(const Cell* c) const;  // this very cell
    // Drops every cell that is not a normal form, keeping only values that
    // later lookups may hand out. A cell naming a definition that does not
    // exist is dropped without being annotated.
    void keepNormalForms();

private:
    SharedExpressionTable() = default;
    friend CellRef shareExpressions(CellRef e);
    struct Impl;
    Impl& impl() const;
};

}  // namespace kiln
