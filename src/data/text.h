// The text model every data builtin shares.
//
// A data text is a bracketed literal, or a pair (a b) of two data texts;
// annotation gives both the data mark. A text has two views:
//   elements    a literal's characters, a nested bracket group counting as
//               one element; a pair (a b) has the elements of a followed by
//               b as one single element;
//   joined text a literal's inner text (between its outer brackets); a
//               pair's joined text is a's followed by b's.
// An element as a value is a literal: a bracket group is the literal of the
// group's own text, a single character the literal whose text is the
// character's tree (front/charcodes.h). A newline has no tree.
//
// A tagged text is ((V (X J)) t) where t is K (the empty text) or
// ((J a) b): a the tagged body of all but the last element, b the last
// element as a tree of the same two shapes.
//
// Nothing here stops on any shape a program can build: unbalanced brackets
// in a literal are single characters, and walks over shared graphs give up
// (answer false / null) past a fixed budget instead of running for ever.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cells/cell.h"
#include "cells/values.h"

namespace kiln::data {

// --- literals and their elements -----------------------------------------

bool isText(Cell* c);      // carries the data mark
bool isLiteral(Cell* c);   // an atom whose first byte is '['
CellRef makeLiteral(std::string_view inner);  // "[" + inner + "]"

// Walks the elements of an inner text. A '[' with a matching ']' opens a
// group element; every other byte is an element by itself.
class ElementScanner {
public:
    explicit ElementScanner(std::string_view inner) : s_(inner) {}
    std::string_view text() const { return s_; }
    size_t endOf(size_t start);  // one past the element that begins at start
    size_t startOf(size_t end);  // start of the element that ends at end > 0
    uint64_t count();

private:
    void build();
    std::string_view s_;
    std::vector<int64_t> partner_;  // built on the first unmatched bracket
};

// The value of one element: null for a character without a tree.
CellRef elementLiteral(std::string_view element);

// How many leading bytes of a literal's inner text are elements of one byte
// each: the bytes before its first '[' (all of them when it has none), so
// that element k < flatPrefix is byte k. A scan of a long text element by
// element asks this at every step: the answer for the last long literal
// asked about is kept (with a reference to it, so it cannot change).
size_t flatPrefix(Cell* literal);

// --- texts ----------------------------------------------------------------

// Number of elements (pair view).
uint64_t elementCount(Cell* text);

// Appends the joined text to out. Stops when out reaches `limit` bytes or
// the walk passes its budget; answers whether the whole text was appended.
constexpr size_t kTextLimit = size_t{1} << 31;
bool joinedText(Cell* text, std::string& out, size_t limit = kTextLimit);
// "[" + joined text + "]" (the literal itself when it already is one); null
// when the text is too large to flatten.
CellRef joinedLiteral(Cell* text);

// All but the last element, and the last element; null for the empty text
// (and, for the last element, a character without a tree).
CellRef allButLast(Cell* text);
CellRef lastElement(Cell* text);

// --- tagged texts ---------------------------------------------------------

// The body t of ((V (X J)) t), or null when the head does not match.
Cell* taggedBody(Cell* c);
bool isAtomNamed(const Cell* c, const char* name);
// Splits t = ((J a) b); false for any other shape.
bool splitLink(Cell* t, Cell** a, Cell** b);
// The tagged text ((V (X J)) t) that shares the head of `tagged`.
CellRef retag(Cell* tagged, Cell* t);
// The literal text of a tagged body: K gives "[]", ((J a) b) the text of a
// with b appended as its last element (a b whose text is a character's tree
// is appended as that character). False for any other shape at any depth.
bool taggedLiteralText(Cell* t, std::string& out);

// --- bytes of a text ------------------------------------------------------

// The bytes a joined text stands for: plain bytes as they are, "[p]" "[q]"
// "[r]" as newline, "[" and "]"; when `trees` is set a group that is a
// character's tree stands for that character. False for any other group.
bool textBytes(std::string_view inner, bool trees, std::string& out);

}  // namespace kiln::data
