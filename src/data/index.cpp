// Indexing, slicing and replacing elements: look, into, cork.
#include <string>
#include <vector>

#include "cells/integers.h"
#include "cells/values.h"
#include "data/handlers.h"
#include "data/support.h"
#include "data/text.h"

namespace kiln::data {

namespace {

// Setting a bit this far beyond a number's end would build a number too
// large to hold.
constexpr int64_t kBitLimit = int64_t{1} << 26;

// The element k (negative: counted from the back) of a text.
CellRef lookText(int64_t k, Cell* x) {
    if (k >= 0) {
        // An element among a literal's leading one-byte elements is found
        // at once: scanning a text by index stays linear.
        Cell* first = x;
        while (rawIsPair(first)) first = rawLeft(first);
        if (static_cast<uint64_t>(k) < flatPrefix(first)) {
            CellRef e = elementLiteral(innerText(first).substr(static_cast<size_t>(k), 1));
            return e ? e : undefined();
        }
        uint64_t c = elementCount(x);
        if (static_cast<uint64_t>(k) >= c) return undefined();
        k -= static_cast<int64_t>(c);
    }
    while (k < -1 && rawIsPair(x)) {
        ++k;
        x = rawLeft(x);
    }
    if (k == -1 && rawIsPair(x)) return CellRef(rawRight(x));
    std::string_view inner = innerText(x);
    ElementScanner scan(inner);
    for (size_t end = inner.size(); end > 0; ++k) {
        size_t start = scan.startOf(end);
        if (k == -1) {
            CellRef e = elementLiteral(inner.substr(start, end - start));
            return e ? e : undefined();
        }
        end = start;
    }
    return undefined();
}

// The text x with element k (negative, from the back) replaced by v: a pair
// of all before it and v, followed by the elements after it one by one.
CellRef corkText(int64_t k, Cell* v, Cell* x) {
    std::vector<Cell*> after;  // right parts passed on the way down, outermost first
    while (k < -1 && rawIsPair(x)) {
        after.push_back(rawRight(x));
        ++k;
        x = rawLeft(x);
    }
    CellRef r;
    if (rawIsPair(x)) {
        r = makePair(CellRef(rawLeft(x)), CellRef(v));
    } else {
        std::string_view inner = innerText(x);
        ElementScanner scan(inner);
        std::vector<size_t> starts;  // the elements from the back, as far as the target
        size_t end = inner.size();
        for (; k < 0; ++k) {
            if (end == 0) return undefined();
            starts.push_back(end = scan.startOf(end));
        }
        r = makePair(makeLiteral(inner.substr(0, starts.back())), CellRef(v));
        for (size_t i = starts.size() - 1; i-- > 0;) {
            size_t to = i == 0 ? inner.size() : starts[i - 1];
            CellRef e = elementLiteral(inner.substr(starts[i], to - starts[i]));
            if (!e) return undefined();
            r = makePair(std::move(r), std::move(e));
        }
    }
    for (size_t i = after.size(); i-- > 0;) r = makePair(std::move(r), CellRef(after[i]));
    return r;
}

// The byte a text stands for when it replaces a byte of a byte string.
char replacementByte(Cell* v) {
    std::string head;
    joinedText(v, head, 3);
    if (head.empty()) return '!';
    if (head[0] != '[' && head[0] != ']') return head[0];
    if (head == "[p]") return '\n';
    if (head == "[q]") return '[';
    if (head == "[r]") return ']';
    return '!';
}

}  // namespace

CellRef lookBuiltin(CellRef app) {
    Cell* args[2];
    spineArguments(app.get(), 2, args);
    return lookDirect(args[0], args[1]);
}

CellRef lookDirect(Cell* index, Cell* x) {
    int64_t k;
    if (!readIndex(index, k)) return undefined();
    switch (numberClass(x)) {
        case 'a': {
            std::string_view p = byteStringPayload(x);
            int64_t n = static_cast<int64_t>(p.size());
            if (k >= n) return undefined();
            if (k < 0) k += n;
            if (k < 0) return undefined();
            return makeInteger(static_cast<int8_t>(p[static_cast<size_t>(k)]));
        }
        case 'e': {
            if (k < 0) k += 64;
            if (k < 0 || k > 64) return undefined();
            return truth(k < 64 && ((realBits(x) >> k) & 1));
        }
        case 'i':
        case 'o': {
            std::string bits;
            if (!numberBits(x, bits)) return undefined();
            int64_t n = highestBit(bits);
            if (k < -n) return undefined();
            if (k < 0) k += n;
            return truth(getBit(bits, static_cast<size_t>(k)));
        }
        case 'u': return lookText(k, x);
        default: return undefined();
    }
}

CellRef intoBuiltin(CellRef app) {
    Cell* args[3];
    spineArguments(app.get(), 3, args);
    int64_t k;
    uint64_t n;
    if (!readIndex(args[0], k) || !readCount(args[1], n)) return undefined();
    Cell* x = args[2];
    char kind = numberClass(x);
    std::string bits, inner;
    uint64_t c;
    switch (kind) {
        case 'a': c = byteStringPayload(x).size(); break;
        case 'e': c = 64; break;
        case 'i':
        case 'o':
            if (!numberBits(x, bits)) return undefined();
            c = static_cast<uint64_t>(highestBit(bits));
            break;
        case 'u':
            if (uint64_t flat = rawIsAtom(x) && k >= 0 ? flatPrefix(x) : 0;
                static_cast<uint64_t>(k) < flat && n < flat - static_cast<uint64_t>(k)) {
                // Inside the literal's leading one-byte elements, with an
                // element after the slice: no copy, no count.
                return makeLiteral(innerText(x).substr(static_cast<size_t>(k), n));
            }
            if (!joinedText(x, inner)) return undefined();
            c = ElementScanner(inner).count();
            break;
        default: return undefined();
    }
    if (k < 0) k += static_cast<int64_t>(c);
    if (k < 0 || static_cast<uint64_t>(k) >= c || n >= c - static_cast<uint64_t>(k)) return undefined();
    size_t from = static_cast<size_t>(k);
    switch (kind) {
        case 'a': return makeByteString(byteStringPayload(x).substr(from, n));
        case 'e': return makeInteger(static_cast<int64_t>((realBits(x) >> from) & ((uint64_t{1} << n) - 1)));
        case 'u': {
            ElementScanner scan(inner);
            size_t start = 0;
            for (size_t i = 0; i < from; ++i) start = scan.endOf(start);
            size_t end = start;
            for (uint64_t i = 0; i < n; ++i) end = scan.endOf(end);
            return makeLiteral(std::string_view(inner).substr(start, end - start));
        }
        default: {
            std::string slice;
            for (uint64_t i = 0; i < n; ++i)
                if (getBit(bits, from + i)) setBit(slice, i, true);
            setBit(slice, n, true);
            return fromBits(slice);
        }
    }
}

CellRef corkBuiltin(CellRef app) {
    Cell* args[3];
    spineArguments(app.get(), 3, args);
    int64_t k;
    if (!readIndex(args[0], k)) return undefined();
    Cell *v = args[1], *x = args[2];
    bool bit;
    switch (numberClass(x)) {
        case 'a': {
            if (!isText(v)) return undefined();
            std::string_view t = atomText(x);
            size_t at = t.find(')') + 1;
            int64_t c = static_cast<int64_t>(t.size() - at);
            if (k < 0) k += c;
            if (k < 0 || k >= c) return undefined();
            char byte = replacementByte(v);
            if (unshared(app, x)) {
                const_cast<char*>(rawText(x))[at + static_cast<size_t>(k)] = byte;
                return CellRef(x);
            }
            std::string p(t.substr(at));
            p[static_cast<size_t>(k)] = byte;
            return makeByteString(p);
        }
        case 'e': {
            if (k < -64 || k > 63 || !truthBit(v, bit)) return undefined();
            if (k < 0) k += 64;
            uint64_t mask = uint64_t{1} << k;
            uint64_t b = realBits(x);
            return realFromBits(bit ? (b | mask) : (b & ~mask));
        }
        case 'i':
        case 'o': {
            std::string bits;
            if (!truthBit(v, bit) || !numberBits(x, bits)) return undefined();
            int64_t c = highestBit(bits);
            if (k < -c) return undefined();
            if (k < 0) k += c;
            if (bit && k >= kBitLimit) return undefined();
            setBit(bits, static_cast<size_t>(k), bit);
            if (highestBit(bits) < 0) return undefined();
            return fromBits(bits);
        }
        case 'u': {
            if (!isText(v)) return undefined();
            if (k >= 0) {
                uint64_t c = elementCount(x);
                if (static_cast<uint64_t>(k) >= c) return undefined();
                k -= static_cast<int64_t>(c);
            }
            CellRef r = corkText(k, v, x);
            return r ? r : undefined();
        }
        default: return undefined();
    }
}

}  // namespace kiln::data
