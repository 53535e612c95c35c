// Name lists and the names a term binds or refers to.
//
// A NameList is a set of names held as a right-nested chain of pairs
// (a1 (a2 (... "()"))), each ai an atom, strictly ascending by the bytes of
// their texts (a proper prefix first). The empty list is the atom "()".
#pragma once

#include <string>
#include <string_view>

#include "cells/cell.h"

namespace kiln {

using NameList = CellRef;

NameList emptyNameList();
NameList singletonNameList(CellRef atom);
NameList nameListUnion(NameList a, NameList b);
bool nameListContains(const NameList& list, std::string_view name);
NameList nameListRemove(NameList list, std::string_view name);
NameList nameListInsert(NameList list, CellRef atom);
size_t nameListLength(const NameList& list);
bool nameListEmpty(const NameList& list);

// The key a binder binds: true with the key when the bound part is an atom
// whose text is a name; a bound part that is no name binds nothing.
bool boundKey(const Cell* bound, std::string* key);

// The global names a term refers to: keys outside the scope of a binder of
// the same key, other than single lowercase letters and the binder atoms.
NameList globalNamesOf(const CellRef& term);

// The names bound anywhere in the term: single lowercase letters, and the
// other names. Bound parts that are not names are not counted.
NameList boundLongNames(const CellRef& term);
NameList boundLetters(const CellRef& term);

}  // namespace kiln
