// Character codes: how a source character stands inside a value as one byte.
//
// Three pieces: characterCode(mode, byte) turns a character into a code byte
// in one of three modes; the code order lists 256 (mode, character)
// positions whose codes are all different; the character tree table maps the
// one-byte text of each code (other than 10, 91 and 93) to a text of square
// brackets, treeText(position + 145), and that tree text back.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kiln {

// Mode 3: the byte itself. Mode 1: the byte minus 128 (a quoted character).
// Mode 2: the short code (letters case-blind: A-I 1-9, J 0, K-Z 11-26,
// ',' 10, "(){}[" 27-31, '_' 32, the 24 symbols 127-150, digits 151-160,
// ']' 255). Space and newline are their own code in every mode. A byte mode 2
// has no code for stops the process ("nopqchar").
unsigned char characterCode(int mode, unsigned char c);

struct CodePosition {
    int mode;
    unsigned char character;
    unsigned char code;  // characterCode(mode, character)
};

// The 256 positions of the code order; every byte is the code of exactly one.
const std::array<CodePosition, 256>& codeOrder();
// The position whose code is the byte.
int positionOfCode(unsigned char code);

// A text of square brackets for 0 <= n < 677: "[]" for 0, "[[]]" for 1, ...
std::string treeText(int n);

using CharacterTreeTable = std::map<std::string, std::string, std::less<>>;

// One map both ways: one-byte code text -> tree text and tree text -> code
// text; 253 pairs each way. Built once, on first use.
const CharacterTreeTable& characterTreeTable();

// The tree text of a code byte; none for 10, 91 and 93.
std::optional<std::string> treeOfCharacter(unsigned char code);
// The code byte whose tree text this is.
std::optional<unsigned char> characterOfTree(std::string_view tree);

}  // namespace kiln
