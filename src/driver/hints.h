// Where a report points: the file, line and column of a "Match" or "Comma"
// position or of the definition a report names, with the source line and a
// caret under the place. Only for reports shown on a terminal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cells/diagnostics.h"

namespace kiln {

// The program's name as the hint shows it and its text as read.
void setHintSource(std::string_view name, std::string_view text);

// The hint lines for a report of the record (each ending in a newline), or
// "" when the record points nowhere in the source.
std::string hintFor(const ErrorRecord& record);

// The top level of raw program text, which may be unfinished or
// unbalanced: where its commas stand outside every bracket (inside square
// brackets only square brackets count), how many brackets are still open at
// its end, and whether a closer came with nothing open (more text cannot
// mend that).
struct TopLevel {
    std::vector<size_t> commas;
    int open = 0;
    bool strayCloser = false;
};
TopLevel scanTopLevel(std::string_view text);

// The same for a given source; for tests.
std::string hintFor(const ErrorRecord& record, std::string_view name, std::string_view text);

// The line and column (from 1) the hint for the record points at; false
// when it points nowhere.
bool hintPlace(const ErrorRecord& record, std::string_view text, size_t& line, size_t& column);

// Where the last definition of key starts in raw program text (the main
// expression's first byte for the empty key), and the top-level comma that
// ends the piece starting at pos (or the text's end); npos when there is no
// such definition.
size_t definitionStart(std::string_view text, std::string_view key);
size_t pieceEnd(std::string_view text, size_t pos);

// "LINE:COLUMN" of a position of the text, both from 1; columns count bytes.
std::string lineColumn(std::string_view text, size_t pos);

}  // namespace kiln
