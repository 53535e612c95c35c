// What the data builtins share beside the text model: reading numbers and
// indices without stopping on a malformed bit chain (a chain a program
// builds may end in any value, and the bit-string conversions of cells/
// treat that as an internal error), reals as bit patterns, truth values, and
// the test for an argument that may be changed in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cells/cell.h"

namespace kiln::data {

// A numeral, the atom "K", or a chain ((J b) rest) whose every bit is "K" or
// "H" and which ends in "K" or a numeral.
bool wellFormedNumber(const Cell* c);

// The bit string of a well-formed integer or binary fraction.
bool numberBits(Cell* c, std::string& bits);

// An integer read as a signed 64-bit index; a larger magnitude wraps modulo
// 2^64 like every integer conversion.
bool readIndex(const Cell* c, int64_t& out);

// A count: "K", "0", a numeral starting with 1-9, or a chain ((J H) x), read
// as an unsigned 64-bit value (wrapping modulo 2^64).
bool readCount(const Cell* c, uint64_t& out);

// The 64-bit pattern of a real atom.
uint64_t realBits(const Cell* c);
CellRef realFromBits(uint64_t bits);

// The truth atoms, and the bit a truth atom stands for (false when the cell
// is neither "K" nor "H").
CellRef truth(bool value);
bool truthBit(const Cell* c, bool& bit);

// The answer for arguments of the wrong kind.
CellRef undefined();

// An argument nothing else refers to: the application is held only by the
// handler and the argument only by the application.
inline bool unshared(const CellRef& app, const Cell* argument) {
    return rawIsUnshared(app.get()) && rawIsUnshared(argument);
}

// A walk over a shared graph may visit a cell many times. A graph that,
// unfolded into a tree of the nodes `split` takes apart, passes 2^28 cells
// (a graph of doubled parts) is not walked at all.
using Split = bool (*)(Cell* c, Cell** a, Cell** b);
bool splitPair(Cell* c, Cell** a, Cell** b);  // any pair
bool unfoldsWithinBudget(Cell* root, Split split);

// Folds a value over a graph from the leaves up, each distinct cell once,
// so that a graph of doubled parts costs time linear in its cells. `split`
// takes an inner node apart (false for a leaf), `leaf` values a leaf, and
// `join` combines the values of both parts (nothing: give up).
template <class V, class Split, class Leaf, class Join>
std::optional<V> foldDistinct(Cell* root, Split split, Leaf leaf, Join join) {
    std::unordered_map<Cell*, V> done;
    std::vector<Cell*> todo{root};
    while (!todo.empty()) {
        Cell* c = todo.back();
        Cell *a, *b;
        if (done.count(c)) {
            todo.pop_back();
        } else if (!split(c, &a, &b)) {
            done.emplace(c, leaf(c));
            todo.pop_back();
        } else {
            auto ia = done.find(a), ib = done.find(b);
            if (ia != done.end() && ib != done.end()) {
                std::optional<V> v = join(ia->second, ib->second);
                if (!v) return std::nullopt;
                done.emplace(c, std::move(*v));
                todo.pop_back();
                continue;
            }
            if (ia == done.end()) todo.push_back(a);
            if (ib == done.end()) todo.push_back(b);
        }
    }
    return std::move(done[root]);
}

}  // namespace kiln::data
