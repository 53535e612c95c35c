// Names and keys of the source language.
//
// A name is a word (one or more of '_' and 'a'-'z'), a single capital,
// control character (1-31) or byte 127-255, or "[" + operator character +
// "]". Its key is the operator character for the bracketed form and the
// name itself otherwise.
#pragma once

#include <string>
#include <string_view>

namespace kiln {

// The 27 operator characters, in their fixed order.
extern const char kOperatorCharacters[28];
bool isOperatorCharacter(unsigned char c);

bool isWord(std::string_view text);
bool isName(std::string_view text);
bool isKey(std::string_view text);
// The key of a name; a text that is not a name is an internal error.
std::string keyOf(std::string_view name);

}  // namespace kiln
