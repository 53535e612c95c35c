// The expression parser and the bracket check of program text.
//
// Twelve precedence levels, loosest first; each splits its piece at its own
// separators outside all bracket groups and folds the parsed pieces:
//    1  ; \ {      right   ((c X) R); {: (((`{` P) V) R)
//    2  ? newline  left    ((? R) X); newline: (R X)
//    3  & |        right   ((c X) R)
//    4  = < > #    right   ((c X) R)
//    5  @ space    left    ((@ R) X); space: (R X)
//    6  + - : .    left    ((c R) X)
//    7  * / % '    left    ((c R) X)
//    8  ^          right   ((c X) R)
//    9  trailing unary operators (c R); an empty piece is "}"
//   10  leading unary operators (c R)
//   11  unary operators inside a juxtaposition (R (c X))
//   12  terms and call lists (R X)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cells/cell.h"
#include "front/lexer.h"

namespace kiln {

// Parses pieces of one text; the brackets are indexed once. A piece that the
// grammar cannot read (a term with a comma stuck to it, as in "g((A,B))", or
// an unbalanced text) does not stop anything: its tree is a placeholder and
// the first such position is kept for the caller to report.
// An operand of an application by a space that is itself an unbracketed
// + - * / % ^ expression: an argument, as cell+1 in "getw cell + 1", or the
// function, as x+f in "x + f y". The application starts at `application`,
// the operand spans [begin, end), and `op` is its first such operator, at
// `opPosition`; `function` tells the function from an argument.
struct SpacedOperand {
    size_t application = 0;
    size_t begin = 0;
    size_t end = 0;
    size_t opPosition = 0;
    char op = 0;
    bool function = false;
};

class Parser {
public:
    explicit Parser(std::string_view text);
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    const BracketIndex& brackets() const { return index_; }
    Piece whole() const { return Piece{0, index_.text().size()}; }

    CellRef expression(Piece piece);  // level 1
    CellRef braceList(Piece piece);   // ((, a) ((, b) c))

    bool failed() const { return failed_; }
    int64_t failurePosition() const { return failurePosition_; }

    // From now on every spaced operand the parse meets is appended to out
    // (null: none are looked for).
    void watchSpacedOperands(std::vector<SpacedOperand>* out) { spaced_ = out; }

private:
    void noteSpacedOperand(size_t application, Piece operand, bool function);

    CellRef level(int k, Piece piece);
    CellRef rightFold(int k, SeparatorList list);
    CellRef leftFold(int k, SeparatorList list);
    CellRef unaryOperators(Piece piece);
    CellRef juxtaposition(Piece piece);
    CellRef term(Piece piece);
    CellRef malformed(size_t position);

    // Deep nesting: the groups at every kMemoDepth-th level of parentheses
    // and braces are parsed first, innermost first, and their trees kept, so
    // the recursion of the levels never goes deeper than kMemoDepth groups.
    // Each kept parse carries the first fault it met; a parse that takes a
    // kept tree takes that fault where the parse would have met it.
    struct Kept {
        CellRef tree;
        int64_t failure = -1;
    };
    struct PieceHash {
        size_t operator()(const std::pair<size_t, size_t>& p) const { return p.first * 0x9E3779B97F4A7C15ULL ^ p.second; }
    };
    using KeptTrees = std::unordered_map<std::pair<size_t, size_t>, Kept, PieceHash>;
    void parseDeepGroups();
    template <class Parse>
    CellRef kept(KeptTrees& trees, Piece piece, Parse parse);
    CellRef takeKept(const Kept& k);

    KeptTrees keptExpressions_;
    KeptTrees keptBraceLists_;
    bool keeping_ = false;

    BracketIndex index_;
    std::string_view text_;
    bool failed_ = false;
    int64_t failurePosition_ = -1;
    std::vector<SpacedOperand>* spaced_ = nullptr;
};

// Whole-text conveniences; null when the text cannot be read, with the
// position in *failurePosition when one is given.
CellRef parseExpression(std::string_view text, int64_t* failurePosition = nullptr);
CellRef parseBraceList(std::string_view text, int64_t* failurePosition = nullptr);

// The message of a malformed piece.
extern const char kCommaMessage[];

// Checks the raw program text: brackets must nest ("Match"), and a comma may
// stand inside parentheses only when they are a call list ("Comma"). On
// failure fills the error text (type, position code, message) and position.
bool checkBrackets(std::string_view text, std::string& errorText, int64_t& errorPosition);

// Five base-64 length digits of a position, most significant first; "!!!!!"
// for 2^30 and for any position outside 0 to 2^30.
std::string positionCode(int64_t position);

// type + "[" + positionCode(position) + "]" + message.
std::string errorText(std::string_view type, int64_t position, std::string_view message);

}  // namespace kiln
