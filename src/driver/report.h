// Error reports: the text of an error record, display escaping of names and
// the terminal colouring of report text.
#pragma once

#include <string>
#include <string_view>

#include "cells/diagnostics.h"

namespace kiln {

// "No errors.\n" for an empty record; otherwise "Error.\n", " Type: ...\n",
// " Name: ...\n" when there is a name, the message, "\n" and "\\/\n".
std::string report(ErrorRecord record);

// Bytes 32-126 other than '[' and ']' pass; every other byte is "[XX]".
std::string escapeForDisplay(std::string_view text);

// Turns the internal character codes of report text into visible characters,
// marking code bytes green and quoted bytes red. With colour off, only the
// mapping is done.
std::string colourize(std::string_view text, bool colour = true);

// Whether reports are coloured: NO_COLOR unset or empty.
bool colourWanted();

}  // namespace kiln
