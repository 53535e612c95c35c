// Looking at a program without running it, and warnings for the traps of
// the language: `kiln --parse` (how each piece parsed), `kiln --check`
// (load, check and compile; every report on one line), and the warnings of
// `kiln -W` (a space that applies something to an unbracketed operator
// expression; at run time, a comparison of different kinds and a division
// by a negative number), each on one line of stderr naming FILE:LINE:COL.
#pragma once

#include <string>
#include <string_view>

namespace kiln {

// Whether a run warns: asked for with -W, or KILN_WARN set to anything but
// "" and "0", or standard error a terminal while KILN_WARN is unset.
bool warningsWanted(bool asked);

// Each piece of the program's tree in writtenForm, the main expression
// first and every later piece after a comma, one a line, on stdout; status
// 0, or 255 after the report of a text that does not parse.
int printParse(std::string_view name, std::string_view text, bool warn);

// Loads, checks and compiles the program without running it. Writes the
// spacing warnings and then the report, if any, as one line
// "NAME:LINE:COL: error: TYPE: message" on stderr; status 255 when there is
// a report, else 0.
int checkProgram(std::string_view name, std::string_view text);

// The spacing warnings of the program, one line each on stderr.
void warnSpacing(std::string_view name, std::string_view text);

// From now on the number builtins' traps are warned of, once per place in
// the program (name and text as read).
void watchNumberTraps(std::string_view name, std::string_view text);

// The lines of --parse for text (each piece's tree, later pieces after a
// comma), or "" with *error filled when it does not parse; for :parse.
std::string parsedLines(std::string_view text, std::string* error);

}  // namespace kiln
