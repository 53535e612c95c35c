// The lexer: character classes, whitespace normalisation, bracket matching,
// the top-level split with its piece extractors, and terms.
//
// There is no token stream. Every layer works on the text itself: it finds
// its separator characters outside all bracket groups and cuts the text into
// pieces there. Pieces are byte ranges of one text, so nothing is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiln {

// --- character classes ----------------------------------------------------

// Newline, space and # % & ' * + , - . / : ; < = > ? @ \ ^ |. Whitespace next
// to one of these is dropped by normalizeSpacing.
bool isOperatorChar(unsigned char c);
bool isBracketChar(unsigned char c);
bool isOpener(unsigned char c);
bool isCloser(unsigned char c);
// ~ ! " $ `
bool isUnaryOperatorChar(unsigned char c);
// '_' and 'a'-'z'
bool isWordChar(unsigned char c);
bool isDigit(unsigned char c);
// The 33 characters that never begin a term of their own: the operator
// characters other than the braces and the comma, then ( ) { } , [ ], space
// and newline.
bool isTermEndingChar(unsigned char c);
// "parenthesis", "bracket" or "wing"; only for bracket characters.
const char* bracketKindName(unsigned char c);

// --- normalisation --------------------------------------------------------

// Trims whitespace (space and newline) at both ends; a run of whitespace
// becomes one newline when it holds one, else one space, and vanishes next to
// an operator character, after "{(}" and before "})}"; inside square
// brackets a line break vanishes with the spaces just before it. With
// origins, the position in text of every byte written (a space or newline
// that stands for a run: the run's first byte) is appended there.
std::string normalizeSpacing(std::string_view text, std::vector<size_t>* origins = nullptr);

// --- brackets -------------------------------------------------------------

// The partner of the bracket at pos, found by scanning: square brackets count
// only each other; parentheses and braces count as one kind and skip square
// groups. Any other byte answers pos. An unbalanced text or a position
// outside it is an internal error.
size_t matchBracket(std::string_view text, size_t pos);

// The partners of every bracket of a text, found in one forward pass. Inside
// square brackets only square brackets count, so a literal may hold
// unbalanced parentheses. The pass stops at the first bracket that does not
// nest: a closer with nothing open, a closer of the wrong kind, or an opener
// left open at the end.
class BracketIndex {
public:
    enum class Fault { None, LeftDangling, DoesNotFit, RightDangling };

    explicit BracketIndex(std::string_view text);

    std::string_view text() const { return text_; }
    bool balanced() const { return fault_ == Fault::None; }
    Fault fault() const { return fault_; }
    // LeftDangling: the closer; DoesNotFit and RightDangling: the opener.
    size_t faultPosition() const { return faultPosition_; }
    // DoesNotFit: the closer that does not fit.
    size_t faultCloser() const { return faultCloser_; }

    // The partner of the bracket at pos; pos itself for any other byte (and
    // for a bracket inside a literal, which has no partner of its own).
    size_t match(size_t pos) const;
    // The position after the bracket group that starts at pos (after pos for
    // any other byte); never before pos + 1.
    size_t skip(size_t pos) const;

private:
    std::string_view text_;
    std::vector<size_t> partner_;  // kNone where there is no partner
    Fault fault_ = Fault::None;
    size_t faultPosition_ = 0;
    size_t faultCloser_ = 0;
};

// --- the top-level split --------------------------------------------------

// A byte range [begin, end) of the indexed text.
struct Piece {
    size_t begin = 0;
    size_t end = 0;
    bool empty() const { return begin >= end; }
    size_t size() const { return empty() ? 0 : end - begin; }
};

inline std::string_view pieceText(std::string_view text, Piece p) {
    return text.substr(p.begin, p.size());
}

// The positions of separators that stand outside every bracket group of a
// piece, ascending; the piece they were found in travels with them.
class SeparatorList {
public:
    explicit SeparatorList(Piece whole) : whole_(whole) {}

    Piece whole() const { return whole_; }
    bool empty() const { return first_ == positions_.size(); }
    size_t size() const { return positions_.size() - first_; }
    size_t front() const { return positions_[first_]; }
    size_t back() const { return positions_.back(); }
    void push(size_t position) { positions_.push_back(position); }
    void popFront() { ++first_; }
    void popBack() { positions_.pop_back(); }

private:
    Piece whole_;
    std::vector<size_t> positions_;
    size_t first_ = 0;
};

// Walks the piece; a separator's position is recorded, then the walk goes on
// after the bracket group that starts there (a separator may be an opener).
SeparatorList splitTopLevel(const BracketIndex& index, Piece whole, std::string_view separators);

// The text before the first separator (the whole piece when there is none).
Piece headPiece(const SeparatorList& list);
// The text after the group of the last separator (the whole piece when none).
Piece tailPiece(const BracketIndex& index, const SeparatorList& list);
// Removes the last separator p; the text between the group of the separator
// before it (or the piece's start) and p.
Piece popBackPiece(const BracketIndex& index, SeparatorList& list);
// Removes the first separator p; the text between p and the next separator
// (or the piece's end).
Piece popFrontPiece(SeparatorList& list);

// --- terms ----------------------------------------------------------------

// Cuts a piece without top-level operators into terms. A term begins at "["
// or "(", where a word or a run of digits begins, at every byte that is not a
// word character, digit or term-ending character, and after a closing
// bracket; a bracket group is one term. The piece must not be empty.
std::vector<Piece> cutTerms(const BracketIndex& index, Piece whole);

enum class TermKind { Numeral, Word, Literal, Parenthesised, Single };
// By the first byte; the term must not be empty.
TermKind termKind(std::string_view term);

}  // namespace kiln
