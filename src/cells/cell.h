// Cells: the value graph every subsystem shares.
//
// A cell is a pair (function part applied to argument part) or an atom (a
// leaf holding text). Each begins with one 64-bit header word:
//   bits  0-29  count   reference count
//   bits 30-55  span    text length / free-variable mask (see annotate)
//   bits 56-61  arity   remaining-arguments value + 52
//   bit  62     redex   a reducible application lies inside
//   bit  63     isAtom
// A pair is the header and two references; an atom is the header followed by
// its text and a NUL byte. In front of an atom's header the same allocation
// holds one hidden word: its size class and a slot where the reducer caches
// what the atom's name resolves to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "cells/diagnostics.h"

namespace kiln {

struct Cell {
    uint64_t header;
};

struct PairCell : Cell {
    Cell* l;
    Cell* r;
};

namespace hdr {
constexpr uint64_t kCountMask = (uint64_t{1} << 30) - 1;
constexpr int kSpanShift = 30;
constexpr uint64_t kSpanMask = ((uint64_t{1} << 26) - 1) << kSpanShift;
constexpr uint64_t kSpanLimit = uint64_t{1} << 26;
constexpr int kArityShift = 56;
constexpr uint64_t kRedexBit = uint64_t{1} << 62;
constexpr uint64_t kAtomBit = uint64_t{1} << 63;
constexpr int kArityBias = 52;
}  // namespace hdr

// --- raw helpers (borrowed pointers, no counting) -------------------------

inline bool rawIsAtom(const Cell* c) { return (c->header & hdr::kAtomBit) != 0; }
inline bool rawIsPair(const Cell* c) { return !rawIsAtom(c); }
inline Cell* rawLeft(const Cell* c) { return static_cast<const PairCell*>(c)->l; }
inline Cell* rawRight(const Cell* c) { return static_cast<const PairCell*>(c)->r; }
// The stored bytes of an atom as they are in memory. A numeral made by
// arithmetic may keep its text pending (see makeNumeral): then only its first
// two bytes are written and rawText is the reader to use.
inline const char* rawBytes(const Cell* c) { return reinterpret_cast<const char*>(c) + sizeof(Cell); }
// Whether the atom's text is still to be written from the value or limbs it
// keeps.
inline bool rawTextPending(const Cell* c) {
    return (c->header & hdr::kAtomBit) &&
           (*reinterpret_cast<const uint64_t*>(reinterpret_cast<const char*>(c) - 8) & 2) != 0;
}
void materialiseText(const Cell* c);  // writes a pending text
// The atom's text, written first when it was pending.
inline const char* rawText(const Cell* c) {
    if (__builtin_expect(rawTextPending(c), 0)) materialiseText(c);
    return rawBytes(c);
}
inline unsigned char rawFirst(const Cell* c) {
    return rawIsAtom(c) ? static_cast<unsigned char>(rawBytes(c)[0]) : 0;
}
// The second byte of an atom's text (0 for a one-byte text), without
// writing a pending text.
inline unsigned char rawSecond(const Cell* c) { return static_cast<unsigned char>(rawBytes(c)[1]); }
inline uint32_t rawSpan(const Cell* c) {
    return static_cast<uint32_t>((c->header & hdr::kSpanMask) >> hdr::kSpanShift);
}
inline unsigned rawTop(const Cell* c) { return static_cast<unsigned>(c->header >> 56); }
inline bool rawAnnotated(const Cell* c) { return (rawTop(c) & 0x7F) != 0; }
inline bool rawHasDataMark(const Cell* c) { return (rawTop(c) & 0x7F) == 0x40; }

void freeCell(Cell* c);  // count reached zero
// Gives back an unshared pair whose two parts the caller has taken over,
// references and all: the parts are left as they are.
void freePairShell(Cell* c);

// Whether the one reference the caller holds is the only one: the cell may
// then be changed or reused in place.
inline bool rawIsUnshared(const Cell* c) { return (c->header & hdr::kCountMask) == 1; }

inline void incRef(Cell* c) {
    if (__builtin_expect((c->header & hdr::kCountMask) == hdr::kCountMask, 0))
        assertionFailed("b", __LINE__);
    ++c->header;
}
inline void decRef(Cell* c) {
    uint64_t n = c->header & hdr::kCountMask;
    if (__builtin_expect(n > 1, 1)) {  // one test for the common case
        --c->header;
        return;
    }
    if (n == 0) assertionFailed("b", __LINE__);
    --c->header;
    freeCell(c);
}

// --- owning reference -----------------------------------------------------

class CellRef {
public:
    CellRef() = default;
    explicit CellRef(Cell* c) : p_(c) {
        if (p_) incRef(p_);
    }
    CellRef(const CellRef& o) : p_(o.p_) {
        if (p_) incRef(p_);
    }
    CellRef(CellRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~CellRef() {
        if (p_) decRef(p_);
    }
    CellRef& operator=(const CellRef& o) {
        if (p_ == o.p_) return *this;
        if (o.p_) incRef(o.p_);
        Cell* old = p_;
        p_ = o.p_;
        if (old) decRef(old);
        return *this;
    }
    CellRef& operator=(CellRef&& o) noexcept {
        if (this != &o) {
            Cell* old = p_;
            p_ = o.p_;
            o.p_ = nullptr;
            if (old) decRef(old);
        }
        return *this;
    }

    // Takes over a reference that has already been counted.
    static CellRef adopt(Cell* c) {
        CellRef r;
        r.p_ = c;
        return r;
    }
    // Gives up the reference without dropping it.
    Cell* release() {
        Cell* c = p_;
        p_ = nullptr;
        return c;
    }

    Cell* get() const { return p_; }
    Cell* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const CellRef& o) const { return p_ == o.p_; }

private:
    Cell* p_ = nullptr;
};

// --- construction ---------------------------------------------------------

CellRef makeAtom(std::string_view text);
CellRef makeAtom(const char* text);  // a null text is an internal error
CellRef makeAtom(std::string&& text);  // the source is left empty
CellRef makePair(CellRef l, CellRef r);
// The one shared atom of a capital letter 'A' to 'Z' (truth values, "Z",
// the prelude's combinators), made once and kept for the whole process.
const CellRef& capitalAtom(char letter);
CellRef apply(CellRef f, CellRef a);
CellRef apply(CellRef f, CellRef a, CellRef b);
CellRef apply(CellRef f, CellRef a, CellRef b, CellRef c);

// Raw pair construction: takes over two already-counted references and
// answers a counted reference to the new pair.
Cell* rawMakePair(Cell* l, Cell* r);
// Makes room for an atom's text to grow to newLength bytes (plus its NUL):
// the atom must be owned by the caller alone. Answers the atom, which may
// have moved; its header and text so far are kept. The room grows
// geometrically, so repeated appends cost amortised linear time.
Cell* rawGrowAtom(Cell* atom, size_t newLength);
// Fixes the recorded length of a numeral or literal whose text changed.
void rawSetAtomLength(Cell* atom, size_t length);

// Gives a pair's memory back without dropping its parts (the caller has
// taken them over).
void rawFreePairShell(Cell* pair);

// --- accessors ------------------------------------------------------------

inline bool isPair(const CellRef& c) { return rawIsPair(c.get()); }
inline bool isAtom(const CellRef& c) { return rawIsAtom(c.get()); }
CellRef left(const CellRef& c);
CellRef right(const CellRef& c);
inline unsigned char firstChar(const CellRef& c) { return rawFirst(c.get()); }

// The full stored text of an atom (byte strings with their prefix, reals as
// 9 bytes); empty for a pair. The view lives as long as the atom.
std::string_view atomText(const Cell* c);
inline std::string_view atomText(const CellRef& c) { return atomText(c.get()); }
std::string textOf(const CellRef& c);
size_t payloadLength(const CellRef& c);
size_t rawPayloadLength(const Cell* c);

// 1 when a < b, 0 when equal, -1 when a > b: atoms before pairs, atoms by
// their bytes, pairs by left part and then right part.
int compareCells(const Cell* a, const Cell* b);
inline int compareCells(const CellRef& a, const CellRef& b) { return compareCells(a.get(), b.get()); }

// --- annotation -----------------------------------------------------------

// Annotation asks the definition table for the body bound to a name; the
// front end installs the lookup. It answers null for a name with no entry.
using DefinitionLookup = const Cell* (*)(std::string_view key);
void setDefinitionLookup(DefinitionLookup lookup);

// Whether annotation treats the text as a name that definitions may bind.
bool isDefinableName(std::string_view text);

void annotate(Cell* c);
inline void annotate(const CellRef& c) { annotate(c.get()); }
// Annotates a new pair of two closed parts whose left part is an atom, or
// an application headed by one, that marks no lambda or binding (its parts
// first, when they are not yet): what annotate would do, with less to test.
void annotateApplication(Cell* c);

inline int rawArityOf(Cell* c) {
    if (!rawAnnotated(c)) annotate(c);
    if (rawHasDataMark(c)) return 1;
    return static_cast<int>((c->header >> hdr::kArityShift) & 0x3F) - hdr::kArityBias;
}
inline bool rawIsNormal(Cell* c) {
    if (!rawAnnotated(c)) annotate(c);
    if (rawHasDataMark(c)) return true;
    return (c->header & hdr::kRedexBit) == 0 &&
           static_cast<int>((c->header >> hdr::kArityShift) & 0x3F) - hdr::kArityBias >= 1;
}
inline bool rawHasRedex(Cell* c) {
    if (!rawAnnotated(c)) annotate(c);
    return (c->header & hdr::kRedexBit) != 0;
}
inline bool rawDataMark(Cell* c) {
    if (!rawAnnotated(c)) annotate(c);
    return rawHasDataMark(c);
}
// The free-variable mask of an annotated cell.
inline uint32_t rawVariablesOf(const Cell* x) {
    if (rawHasDataMark(x)) return 0;
    if (rawIsAtom(x)) {
        unsigned char f = rawFirst(x);
        if ((f >= '0' && f <= '9') || f == '[') return 0;
    }
    return rawSpan(x);
}
inline uint32_t rawFreeVariables(Cell* c) {
    if (!rawAnnotated(c)) annotate(c);
    return rawVariablesOf(c);
}

inline int arityOf(const CellRef& c) { return rawArityOf(c.get()); }
inline bool isNormal(const CellRef& c) { return rawIsNormal(c.get()); }
inline bool hasDataMark(const CellRef& c) { return rawDataMark(c.get()); }
inline uint32_t freeVariables(const CellRef& c) { return rawFreeVariables(c.get()); }

// 'u' for a lambda node ((\ x) body), 'i' for a binding node (((X p) v) body)
// whose head atom is "{", 'o' otherwise.
inline char shapeOf(const Cell* c) {
    if (rawIsAtom(c)) return 'o';
    const Cell* l = rawLeft(c);
    if (rawIsAtom(l)) return 'o';
    const Cell* ll = rawLeft(l);
    if (rawIsAtom(ll)) return (rawText(ll)[0] == '\\' && rawText(ll)[1] == 0) ? 'u' : 'o';
    const Cell* lll = rawLeft(ll);
    if (rawIsAtom(lll) && rawText(lll)[0] == '{' && rawText(lll)[1] == 0) return 'i';
    return 'o';
}
inline char shapeOf(const CellRef& c) { return shapeOf(c.get()); }
inline bool headIsConstructor(Cell* c) {
    while (rawIsPair(c)) {
        if (rawDataMark(c)) return false;
        c = rawLeft(c);
    }
    switch (rawFirst(c)) {
        case '&': case '|':
        case 'A': case 'B': case 'C': case 'D': case 'E': case 'F':
        case 'H': case 'I': case 'J': case 'K': case 'L':
        case 'N': case 'Q': case 'R':
        case 'T': case 'U': case 'V': case 'X': case 'Z':
            return true;
        default:
            return false;
    }
}
inline bool headIsConstructor(const CellRef& c) { return headIsConstructor(c.get()); }

// --- the hidden slot of an atom -------------------------------------------

// A numeral's slot belongs to its number (below): for a numeral atomSlot
// answers null and setAtomSlot does nothing.
inline void* atomSlot(const Cell* atom) {
    if (rawBytes(atom)[0] >= '0' && rawBytes(atom)[0] <= '9') return nullptr;
    uint64_t w = *reinterpret_cast<const uint64_t*>(reinterpret_cast<const char*>(atom) - 8);
    return reinterpret_cast<void*>(w & ((uint64_t{1} << 56) - 1));
}
void setAtomSlot(Cell* atom, void* value);

// --- numbers kept beside numeral texts ------------------------------------
//
// A numeral may keep its value beside its text: small ones a 64-bit value,
// larger ones their base-10^9 limbs. A numeral made by makeNumeral has its
// text written only when something reads it (rawText, atomText and every
// reader built on them), so a chain of arithmetic converts once. The limbs
// stay valid for the life of the atom, unless its address escapes to the
// program (escapeAtom), which may then change its bytes directly: such an
// atom keeps nothing beside its text from then on.

// A signed decimal integer: the magnitude in base-10^9 limbs, least
// significant first, with no high zero limbs (zero is empty and never
// negative).
// Limb vectors leave new limbs unwritten when they grow (resize, or a
// vector made by length): every writer of a result fills all its limbs, so
// a new number costs no pass of zeros first. Give a value (Limbs(n, 0)) to
// have them zero.
template <class T>
struct UnfilledAllocator : std::allocator<T> {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = UnfilledAllocator<U>;
    };
    UnfilledAllocator() = default;
    template <class U>
    UnfilledAllocator(const UnfilledAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using LimbVector = std::vector<uint32_t, UnfilledAllocator<uint32_t>>;

struct DecimalValue {
    bool negative = false;
    LimbVector magnitude;

    bool isZero() const { return magnitude.empty(); }
};

// A numeral atom of the value. Its text is the canonical numeral ("0",
// "123", "0123" for -123); only its first two bytes are written now.
CellRef makeNumeral(DecimalValue&& value);
// The canonical numeral text of a value, as makeNumeral writes it.
std::string decimalText(const DecimalValue& value);
// The limbs a numeral keeps; null when it keeps none.
const DecimalValue* keptDecimal(const Cell* numeral);
// Lets a numeral keep the limbs of the value its text names.
void keepDecimal(const Cell* numeral, DecimalValue&& value);
// The 64-bit value a numeral keeps (false when it keeps none).
inline bool keptSmall(const Cell* numeral, int64_t& out) {
    uint64_t w = *reinterpret_cast<const uint64_t*>(reinterpret_cast<const char*>(numeral) - 8);
    if (!(w & 1)) return false;
    out = static_cast<int64_t>(w << 8) >> 10;
    return true;
}
// Lets a numeral keep the value its text names, when it fits in 54 bits.
void keepSmall(const Cell* numeral, int64_t value);
// Writes a pending text and drops what the atom keeps beside it, for good:
// its bytes are about to be reachable by address.
void escapeAtom(const Cell* atom);

// --- statistics -----------------------------------------------------------

struct CellStats {
    uint64_t allocated = 0;
    uint64_t live = 0;
    uint64_t peakLive = 0;
};
// The counts run only while counting is on: from start-up when KILN_STATS
// is set in the environment, otherwise from a call of setCellCounting(true).
const CellStats& cellStats();
void setCellCounting(bool on);

// Runs fn on a thread whose stack is large enough for any graph that fits in
// memory, so that the recursive walks over deep graphs cannot overflow.
void runWithLargeStack(void (*fn)(void*), void* arg);

}  // namespace kiln
