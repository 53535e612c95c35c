#include "data/text.h"

#include <cstring>

#include "cells/values.h"
#include "data/support.h"
#include "front/charcodes.h"

namespace kiln::data {

namespace {

}  // namespace

bool isText(Cell* c) { return rawDataMark(c); }

bool isLiteral(Cell* c) { return rawIsAtom(c) && rawFirst(c) == '['; }

bool isAtomNamed(const Cell* c, const char* name) {
    return rawIsAtom(c) && std::strcmp(rawText(c), name) == 0;
}

CellRef makeLiteral(std::string_view inner) {
    std::string t;
    t.reserve(inner.size() + 2);
    t += '[';
    t.append(inner.data(), inner.size());
    t += ']';
    return makeAtom(std::move(t));
}

// --- elements -------------------------------------------------------------

void ElementScanner::build() {
    partner_.assign(s_.size(), -1);
    std::vector<size_t> open;
    for (size_t i = 0; i < s_.size(); ++i) {
        if (s_[i] == '[') {
            open.push_back(i);
        } else if (s_[i] == ']' && !open.empty()) {
            partner_[i] = static_cast<int64_t>(open.back());
            partner_[open.back()] = static_cast<int64_t>(i);
            open.pop_back();
        }
    }
}

size_t ElementScanner::endOf(size_t start) {
    if (s_[start] != '[') return start + 1;
    if (partner_.empty()) {
        int64_t depth = 0;
        for (size_t j = start; j < s_.size(); ++j) {
            if (s_[j] == '[') {
                ++depth;
            } else if (s_[j] == ']' && --depth == 0) {
                return j + 1;
            }
        }
        build();  // an unmatched '[': from now on the table answers
    }
    int64_t p = partner_[start];
    return p < 0 ? start + 1 : static_cast<size_t>(p) + 1;
}

size_t ElementScanner::startOf(size_t end) {
    size_t last = end - 1;
    if (s_[last] != ']') return last;
    if (partner_.empty()) {
        int64_t depth = 0;
        for (size_t j = end; j-- > 0;) {
            if (s_[j] == ']') {
                ++depth;
            } else if (s_[j] == '[' && --depth == 0) {
                return j;
            }
        }
        build();
    }
    int64_t p = partner_[last];
    return p < 0 ? last : static_cast<size_t>(p);
}

uint64_t ElementScanner::count() {
    uint64_t n = 0;
    for (size_t i = 0; i < s_.size(); i = endOf(i)) ++n;
    return n;
}

CellRef elementLiteral(std::string_view element) {
    if (element.size() != 1) return makeAtom(element);  // a bracket group
    std::optional<std::string> tree = treeOfCharacter(static_cast<unsigned char>(element[0]));
    if (!tree) return CellRef();
    return makeAtom(std::move(*tree));
}

size_t flatPrefix(Cell* literal) {
    std::string_view inner = innerText(literal);
    auto scan = [&] {
        const void* open = std::memchr(inner.data(), '[', inner.size());
        return open ? static_cast<size_t>(static_cast<const char*>(open) - inner.data()) : inner.size();
    };
    // Below this size a scan costs less than keeping the answer.
    constexpr size_t kKeepFrom = 512;
    if (inner.size() < kKeepFrom) return scan();
    struct Kept {
        CellRef literal;
        size_t size = 0, prefix = 0;
    };
    static Kept kept;
    if (kept.literal.get() != literal || kept.size != inner.size()) {
        kept.literal = CellRef(literal);
        kept.size = inner.size();
        kept.prefix = scan();
    }
    return kept.prefix;
}

// --- texts ----------------------------------------------------------------

uint64_t elementCount(Cell* text) {
    uint64_t n = 0;
    while (rawIsPair(text)) {
        ++n;
        text = rawLeft(text);
    }
    ElementScanner scan(innerText(text));
    return n + scan.count();
}

bool joinedText(Cell* text, std::string& out, size_t limit) {
    // A text whose length is recorded has at most that many cells.
    if (rawIsPair(text) && rawSpan(text) < 2 && !unfoldsWithinBudget(text, splitPair)) return false;
    return forEachLeaf(text, [&](Cell* c) {
        std::string_view inner = innerText(c);
        if (inner.size() > limit - out.size()) {
            out.append(inner.data(), limit - out.size());
            return false;
        }
        out.append(inner.data(), inner.size());
        return true;
    });
}

CellRef joinedLiteral(Cell* text) {
    if (isLiteral(text)) return CellRef(text);
    std::string t = "[";
    if (!joinedText(text, t)) return CellRef();
    t += ']';
    return makeAtom(std::move(t));
}

CellRef allButLast(Cell* text) {
    if (rawIsPair(text)) return CellRef(rawLeft(text));
    std::string_view inner = innerText(text);
    if (inner.empty()) return CellRef();
    ElementScanner scan(inner);
    return makeLiteral(inner.substr(0, scan.startOf(inner.size())));
}

CellRef lastElement(Cell* text) {
    if (rawIsPair(text)) return CellRef(rawRight(text));
    std::string_view inner = innerText(text);
    if (inner.empty()) return CellRef();
    ElementScanner scan(inner);
    return elementLiteral(inner.substr(scan.startOf(inner.size())));
}

// --- tagged texts ---------------------------------------------------------

Cell* taggedBody(Cell* c) {
    if (!rawIsPair(c)) return nullptr;
    Cell* head = rawLeft(c);
    if (!rawIsPair(head) || !isAtomNamed(rawLeft(head), "V")) return nullptr;
    Cell* xj = rawRight(head);
    if (!rawIsPair(xj) || !isAtomNamed(rawLeft(xj), "X") || !isAtomNamed(rawRight(xj), "J")) return nullptr;
    return rawRight(c);
}

bool splitLink(Cell* t, Cell** a, Cell** b) {
    if (!rawIsPair(t) || !rawIsPair(rawLeft(t)) || !isAtomNamed(rawLeft(rawLeft(t)), "J")) return false;
    *a = rawRight(rawLeft(t));
    *b = rawRight(t);
    return true;
}

CellRef retag(Cell* tagged, Cell* t) { return makePair(CellRef(rawLeft(tagged)), CellRef(t)); }

namespace {

// The bracket text of a tree: K is "[]", ((J a) b) the text of a with the
// text of b appended as its last element.
bool treeBrackets(Cell* tree, std::string& out) {
    enum Task { kOpen, kFull, kClose };
    std::vector<std::pair<Cell*, Task>> todo{{tree, kFull}};
    while (!todo.empty()) {
        if (out.size() > kTextLimit) return false;
        auto [c, task] = todo.back();
        todo.pop_back();
        if (task == kClose) {
            out += ']';
            continue;
        }
        if (task == kFull) todo.emplace_back(nullptr, kClose);
        if (isAtomNamed(c, "K")) {
            out += '[';
            continue;
        }
        Cell *a, *b;
        if (!splitLink(c, &a, &b)) return false;
        todo.emplace_back(b, kFull);
        todo.emplace_back(a, kOpen);
    }
    return true;
}

}  // namespace

bool taggedLiteralText(Cell* t, std::string& out) {
    if (!unfoldsWithinBudget(t, splitLink)) return false;
    std::vector<Cell*> elements;  // last first
    for (;;) {
        if (isAtomNamed(t, "K")) break;
        Cell *a, *b;
        if (!splitLink(t, &a, &b)) return false;
        elements.push_back(b);
        t = a;
    }
    out += '[';
    std::string tree;
    for (size_t i = elements.size(); i-- > 0;) {
        tree.clear();
        if (!treeBrackets(elements[i], tree)) return false;
        if (std::optional<unsigned char> ch = characterOfTree(tree))
            out += static_cast<char>(*ch);
        else
            out += tree;
        if (out.size() > kTextLimit) return false;
    }
    out += ']';
    return true;
}

// --- bytes of a text ------------------------------------------------------

bool textBytes(std::string_view inner, bool trees, std::string& out) {
    ElementScanner scan(inner);
    for (size_t i = 0; i < inner.size();) {
        size_t e = scan.endOf(i);
        std::string_view element = inner.substr(i, e - i);
        i = e;
        if (element.size() == 1) {
            out += element[0];
        } else if (element == "[p]") {
            out += '\n';
        } else if (element == "[q]") {
            out += '[';
        } else if (element == "[r]") {
            out += ']';
        } else if (std::optional<unsigned char> ch = trees ? characterOfTree(element) : std::nullopt) {
            out += static_cast<char>(*ch);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace kiln::data
