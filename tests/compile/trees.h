// Test graphs written as s-expressions: "(f a b)" is ((f a) b), any run of
// characters other than blanks and parentheses is one atom, and "@nil" is
// the atom "()".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cells/cell.h"

namespace kiln::testing_trees {

inline CellRef readTree(std::string_view text, size_t& at) {
    while (at < text.size() && text[at] == ' ') ++at;
    if (text[at] == '(') {
        ++at;
        std::vector<CellRef> parts;
        for (;;) {
            while (at < text.size() && text[at] == ' ') ++at;
            if (text[at] == ')') {
                ++at;
                break;
            }
            parts.push_back(readTree(text, at));
        }
        CellRef r = parts[0];
        for (size_t i = 1; i < parts.size(); ++i) r = makePair(r, parts[i]);
        return r;
    }
    size_t start = at;
    while (at < text.size() && text[at] != ' ' && text[at] != '(' && text[at] != ')') ++at;
    std::string_view word = text.substr(start, at - start);
    return makeAtom(word == "@nil" ? std::string_view("()") : word);
}

inline CellRef tree(std::string_view text) {
    size_t at = 0;
    return readTree(text, at);
}

// Lambdas over a, b, c, ... around the body.
inline CellRef lambdas(int n, CellRef body) {
    for (int i = n - 1; i >= 0; --i)
        body = makePair(makePair(makeAtom("\\"), makeAtom(std::string(1, static_cast<char>('a' + i)))), body);
    return body;
}

// Runs the body on the interpreter's large stack.
template <typename F>
void onLargeStack(F f) {
    runWithLargeStack([](void* p) { (*static_cast<F*>(p))(); }, &f);
}

}  // namespace kiln::testing_trees
