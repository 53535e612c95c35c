#include "front/parser.h"

#include <vector>

#include "cells/integers.h"

namespace kiln {

const char kCommaMessage[] = "Comma encountered in parenthesization which is not a call list.";

namespace {

// Separators of levels 1 to 8.
constexpr std::string_view kSeparators[] = {"", ";\\{", "?\n", "&|", "=<>#", "@ ", "+-:.", "*/%'", "^"};
constexpr bool kFoldsRight[] = {false, true, false, true, true, false, false, false, true};

CellRef characterAtom(char c) { return makeAtom(std::string_view(&c, 1)); }

CellRef operatorNode(char c, CellRef a, CellRef b) { return apply(apply(characterAtom(c), std::move(a)), std::move(b)); }

}  // namespace

Parser::Parser(std::string_view text) : index_(text), text_(text) {
    if (!index_.balanced()) {
        malformed(index_.faultPosition());
        return;
    }
    parseDeepGroups();
}

namespace {
constexpr size_t kMemoDepth = 32;
std::pair<size_t, size_t> pieceKey(Piece p) { return {p.begin, p.end}; }
}  // namespace

CellRef Parser::takeKept(const Kept& k) {
    if (k.failure >= 0) malformed(static_cast<size_t>(k.failure));
    return k.tree;
}

// The tree of a piece from the kept trees; else parsed now, and kept, with a
// fault state of its own, when the deep groups ask for it.
template <class Parse>
CellRef Parser::kept(KeptTrees& trees, Piece piece, Parse parse) {
    if (trees.empty() && !keeping_) return parse();
    auto key = pieceKey(piece);
    auto it = trees.find(key);
    if (it != trees.end()) return takeKept(it->second);
    if (!keeping_) return parse();
    keeping_ = false;  // the pieces inside are parsed as usual
    bool failed = failed_;
    int64_t position = failurePosition_;
    failed_ = false;
    failurePosition_ = -1;
    Kept k;
    k.tree = parse();
    k.failure = failed_ ? failurePosition_ : -1;
    failed_ = failed;
    failurePosition_ = position;
    keeping_ = true;
    return trees.emplace(key, std::move(k)).first->second.tree;
}

void Parser::parseDeepGroups() {
    // Groups close in an order that puts every group after the groups inside
    // it, so a group parsed at its closer finds those kept already.
    std::string_view t = text_;
    std::vector<size_t> open;
    std::vector<size_t> deep;  // closers of the groups to keep, in closing order
    for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (c == '[') {
            i = index_.skip(i) - 1;
        } else if (c == '(' || c == '{') {
            open.push_back(i);
        } else if (c == ')' || c == '}') {
            if (open.size() % kMemoDepth == 0) deep.push_back(open.back());
            open.pop_back();
        }
    }
    if (deep.empty()) return;
    keeping_ = true;
    for (size_t p : deep) {
        size_t q = index_.match(p);
        Piece inner{p + 1, q};
        if (t[p] == '{') {
            braceList(inner);
            continue;
        }
        expression(inner);
        SeparatorList args = splitTopLevel(index_, inner, ",");
        if (args.empty()) continue;
        expression(headPiece(args));
        while (!args.empty()) expression(popFrontPiece(args));
    }
    keeping_ = false;
}

CellRef Parser::malformed(size_t position) {
    if (!failed_) {
        failed_ = true;
        failurePosition_ = static_cast<int64_t>(position);
    }
    return makeAtom("}");
}

CellRef Parser::expression(Piece piece) {
    if (!index_.balanced()) return makeAtom("}");
    return kept(keptExpressions_, piece, [&] { return level(1, piece); });
}

CellRef Parser::braceList(Piece piece) {
    return kept(keptBraceLists_, piece, [&] {
    SeparatorList list = splitTopLevel(index_, piece, ",");
    CellRef r = expression(tailPiece(index_, list));
    while (!list.empty()) {
        CellRef x = expression(popBackPiece(index_, list));
        r = operatorNode(',', std::move(x), std::move(r));
    }
    return r;
    });
}

CellRef Parser::level(int k, Piece piece) {
    for (; k <= 8; ++k) {
        SeparatorList list = splitTopLevel(index_, piece, kSeparators[k]);
        if (list.empty()) continue;
        return kFoldsRight[k] ? rightFold(k, std::move(list)) : leftFold(k, std::move(list));
    }
    return unaryOperators(piece);
}

CellRef Parser::rightFold(int k, SeparatorList list) {
    CellRef r = level(k + 1, tailPiece(index_, list));
    while (!list.empty()) {
        size_t p = list.back();
        char c = text_[p];
        if (c == '{') {
            size_t q = index_.match(p);
            if (q <= p) return malformed(p);
            CellRef v = braceList(Piece{p + 1, q});
            CellRef pattern = level(k + 1, popBackPiece(index_, list));
            r = apply(operatorNode('{', std::move(pattern), std::move(v)), std::move(r));
        } else {
            CellRef x = level(k + 1, popBackPiece(index_, list));
            r = operatorNode(c, std::move(x), std::move(r));
        }
    }
    return r;
}

void Parser::noteSpacedOperand(size_t application, Piece operand, bool function) {
    SeparatorList ops = splitTopLevel(index_, operand, "+-*/%^");
    if (ops.empty()) return;
    spaced_->push_back({application, operand.begin, operand.end, ops.front(), text_[ops.front()], function});
}

CellRef Parser::leftFold(int k, SeparatorList list) {
    size_t application = list.whole().begin;
    Piece head = headPiece(list);
    if (spaced_ && text_[list.front()] == ' ') noteSpacedOperand(application, head, true);
    CellRef r = level(k + 1, head);
    while (!list.empty()) {
        char c = text_[list.front()];
        Piece operand = popFrontPiece(list);
        if (spaced_ && c == ' ') noteSpacedOperand(application, operand, false);
        CellRef x = level(k + 1, operand);
        if (c == ' ' || c == '\n')
            r = apply(std::move(r), std::move(x));
        else
            r = operatorNode(c, std::move(r), std::move(x));
    }
    return r;
}

namespace {
bool unaryAt(std::string_view t, size_t i) { return isUnaryOperatorChar(static_cast<unsigned char>(t[i])); }
}  // namespace

// Levels 9 and 10: unary operators at the end, then at the start, of a piece.
CellRef Parser::unaryOperators(Piece piece) {
    size_t e = piece.end;
    while (e > piece.begin && unaryAt(text_, e - 1)) --e;
    CellRef r;
    if (e == piece.begin) {
        r = makeAtom("}");
    } else {
        size_t b = piece.begin;
        while (b < e && unaryAt(text_, b)) ++b;
        r = juxtaposition(Piece{b, e});
        for (size_t j = b; j-- > piece.begin;) r = apply(characterAtom(text_[j]), std::move(r));
    }
    for (size_t j = e; j < piece.end; ++j) r = apply(characterAtom(text_[j]), std::move(r));
    return r;
}

// Level 11: unary operators inside a juxtaposition, as in g!x; level 12 for
// the segments between them.
CellRef Parser::juxtaposition(Piece piece) {
    std::vector<size_t> cuts;
    for (size_t i = piece.begin; i < piece.end;) {
        if (!unaryAt(text_, i)) {
            i = index_.skip(i);
            continue;
        }
        cuts.push_back(i);
        while (i < piece.end && unaryAt(text_, i)) ++i;
    }
    size_t firstEnd = cuts.empty() ? piece.end : cuts.front();
    CellRef r = term(Piece{piece.begin, firstEnd});
    for (size_t s = 0; s < cuts.size(); ++s) {
        size_t begin = cuts[s];
        size_t end = s + 1 < cuts.size() ? cuts[s + 1] : piece.end;
        size_t rest = begin;
        while (rest < end && unaryAt(text_, rest)) ++rest;
        if (rest >= end) return malformed(begin);
        CellRef x = term(Piece{rest, end});
        for (size_t j = rest; j-- > begin;) x = apply(characterAtom(text_[j]), std::move(x));
        r = apply(std::move(r), std::move(x));
    }
    return r;
}

// Level 12: the terms of a juxtaposition and its call lists.
CellRef Parser::term(Piece piece) {
    if (piece.empty()) return malformed(piece.begin);
    std::vector<Piece> terms = cutTerms(index_, piece);
    CellRef r;
    for (size_t n = 0; n < terms.size(); ++n) {
        Piece t = terms[n];
        std::string_view text = pieceText(text_, t);
        TermKind kind = termKind(text);
        CellRef x;
        if (kind == TermKind::Parenthesised) {
            size_t close = index_.match(t.begin);
            if (close <= t.begin) return malformed(t.begin);
            Piece inner{t.begin + 1, close};
            if (n == 0) {
                r = expression(inner);
                continue;
            }
            SeparatorList args = splitTopLevel(index_, inner, ",");
            r = apply(std::move(r), expression(headPiece(args)));
            while (!args.empty()) r = apply(std::move(r), expression(popFrontPiece(args)));
            continue;
        }
        switch (kind) {
            case TermKind::Numeral:
            case TermKind::Word: {
                // Any byte after the digits or letters is a comma that was
                // left inside parentheses that are not a call list.
                bool (*member)(unsigned char) = kind == TermKind::Numeral ? isDigit : isWordChar;
                for (unsigned char c : text)
                    if (!member(c)) return malformed(t.begin);
                x = makeAtom(text);
                break;
            }
            case TermKind::Literal: {
                std::string literal;
                literal.reserve(text.size());
                for (char c : text) {
                    if (c == '\n') continue;
                    literal.push_back(c == '\0' ? '\n' : c);
                }
                x = makeAtom(std::move(literal));
                break;
            }
            default:
                if (text.size() != 1) return malformed(t.begin);
                x = characterAtom(text[0] == '\0' ? '\n' : text[0]);
                break;
        }
        r = n == 0 ? std::move(x) : apply(std::move(r), std::move(x));
    }
    return r;
}

namespace {
CellRef parseWhole(std::string_view text, int64_t* failurePosition, bool braces) {
    Parser parser(text);
    CellRef tree = braces ? parser.braceList(parser.whole()) : parser.expression(parser.whole());
    if (failurePosition) *failurePosition = parser.failurePosition();
    if (parser.failed()) return CellRef();
    return tree;
}
}  // namespace

CellRef parseExpression(std::string_view text, int64_t* failurePosition) {
    return parseWhole(text, failurePosition, false);
}

CellRef parseBraceList(std::string_view text, int64_t* failurePosition) {
    return parseWhole(text, failurePosition, true);
}

// --- the bracket check ----------------------------------------------------

std::string positionCode(int64_t position) {
    constexpr int64_t kLimit = int64_t{1} << 30;
    if (position < 0 || position >= kLimit) return "!!!!!";
    std::string code(5, '_');
    for (int i = 4; i >= 0; --i, position /= 64) code[static_cast<size_t>(i)] = kLengthDigits[position % 64];
    return code;
}

std::string errorText(std::string_view type, int64_t position, std::string_view message) {
    std::string out(type);
    out += '[';
    out += positionCode(position);
    out += ']';
    out += message;
    return out;
}

namespace {

bool nestingFault(const BracketIndex& index, std::string& message, int64_t& position) {
    std::string_view t = index.text();
    switch (index.fault()) {
        case BracketIndex::Fault::None: return false;
        case BracketIndex::Fault::LeftDangling:
            message = std::string("Left dangling ") + bracketKindName(static_cast<unsigned char>(t[index.faultPosition()])) + ".";
            break;
        case BracketIndex::Fault::DoesNotFit:
            message = std::string("Doesn't fit '") + t[index.faultCloser()] + "' at [" +
                      positionCode(static_cast<int64_t>(index.faultCloser())) + "].";
            break;
        case BracketIndex::Fault::RightDangling:
            message = std::string("Right dangling ") + bracketKindName(static_cast<unsigned char>(t[index.faultPosition()])) + ".";
            break;
    }
    position = static_cast<int64_t>(index.faultPosition());
    return true;
}

// Walks backwards; a comma inside parentheses that follow an operator byte
// (or open the text) is not in a call list. Answers its position or -1.
int64_t misplacedComma(const BracketIndex& index) {
    std::string_view t = index.text();
    std::vector<size_t> stack;
    auto commaOnTop = [&] { return !stack.empty() && t[stack.back()] == ','; };
    auto pop = [&] {
        if (!stack.empty()) stack.pop_back();
    };
    for (size_t i = t.size(); i-- > 0;) {
        char c = t[i];
        if (c == ']') {
            i = index.match(i);
        } else if (c == ')' || c == '}') {
            stack.push_back(i);
        } else if (c == ',') {
            if (commaOnTop())
                stack.back() = i;
            else if (!stack.empty())
                stack.push_back(i);
        } else if (c == '{' || c == '(') {
            if (c == '(' && commaOnTop() && (i == 0 || isOperatorChar(static_cast<unsigned char>(t[i - 1]))))
                return static_cast<int64_t>(stack.back());
            if (commaOnTop()) pop();
            pop();
        }
    }
    return -1;
}

}  // namespace

bool checkBrackets(std::string_view text, std::string& error, int64_t& errorPosition) {
    BracketIndex index(text);
    std::string message;
    if (nestingFault(index, message, errorPosition)) {
        error = errorText("Match", errorPosition, message);
        return false;
    }
    int64_t comma = misplacedComma(index);
    if (comma >= 0) {
        errorPosition = comma;
        error = errorText("Comma", comma, kCommaMessage);
        return false;
    }
    return true;
}

}  // namespace kiln
