#include "cells/cell.h"

#include <malloc.h>
#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "cells/integers.h"
#include "cells/values.h"

namespace kiln {

namespace {

CellStats gStats;
// Allocation statistics cost a counter update per cell, so they are kept
// only when asked for: KILN_STATS in the environment at start-up (read
// before any static initialiser can make a cell), or setCellCounting.
bool gCounting = false;

[[gnu::constructor(101)]] void readCountingSwitch() { gCounting = std::getenv("KILN_STATS") != nullptr; }

// ---- pool -----------------------------------------------------------------
//
// Cells come from free lists, one per 8-byte size class up to kPoolMax bytes;
// larger atoms come from malloc. Atoms carry their size class in the hidden
// word in front of the header, pairs are always the 24-byte class. When a
// class's free list is empty, the next cell is carved from the class's
// current chunk; a chunk's pages are touched only as its cells are carved,
// so a small program stays small whatever classes it uses.

constexpr size_t kPoolMax = 128;
constexpr size_t kClasses = kPoolMax / 8 + 1;
constexpr size_t kChunk = 1 << 20;

struct FreeNode {
    FreeNode* next;
};
#ifndef KILN_NO_POOL
FreeNode* gFree[kClasses];
char* gCarve[kClasses];     // the next uncarved byte of the class's chunk
char* gCarveEnd[kClasses];  // the end of that chunk

[[gnu::noinline]] void* carve(size_t cls) {
    size_t size = cls * 8;
    if (static_cast<size_t>(gCarveEnd[cls] - gCarve[cls]) < size) {
        char* chunk = static_cast<char*>(std::malloc(kChunk));
        if (!chunk) outOfMemory();
        gCarve[cls] = chunk;
        gCarveEnd[cls] = chunk + kChunk;
    }
    char* p = gCarve[cls];
    gCarve[cls] = p + size;
    return p;
}
#endif

inline void* poolTake(size_t cls) {
#ifdef KILN_NO_POOL
    void* p = std::malloc(cls * 8);
    if (!p) outOfMemory();
    return p;
#else
    FreeNode* n = gFree[cls];
    if (__builtin_expect(n != nullptr, 1)) {
        gFree[cls] = n->next;
        return n;
    }
    return carve(cls);
#endif
}

inline void poolGive(void* p, size_t cls) {
#ifdef KILN_NO_POOL
    (void)cls;
    std::free(p);
#else
    FreeNode* f = static_cast<FreeNode*>(p);
    f->next = gFree[cls];
    gFree[cls] = f;
#endif
}

constexpr size_t kPairClass = sizeof(PairCell) / 8;

// The hidden word in front of an atom: top byte the size class (0 for a
// malloc'd atom), low 56 bits the slot.
inline uint64_t& hiddenWord(const Cell* atom) {
    return *reinterpret_cast<uint64_t*>(const_cast<char*>(reinterpret_cast<const char*>(atom)) - 8);
}

inline void noteAlloc() {
    if (__builtin_expect(!gCounting, 1)) return;
    ++gStats.allocated;
    if (++gStats.live > gStats.peakLive) gStats.peakLive = gStats.live;
}

// ---- numbers kept beside numeral texts ----------------------------------
//
// The slot of a numeral: 0 keeps nothing; kEscaped keeps nothing, ever; a
// value with bit 0 set is a 54-bit value v as (v << 2) | 1; a block pointer
// (16-byte aligned) keeps limbs. Either has kPendingTag added while the
// text is still to be written.

constexpr uint64_t kSlotMask = (uint64_t{1} << 56) - 1;
constexpr uint64_t kEscaped = 4;
constexpr uint64_t kPendingTag = 2;
constexpr int64_t kSmallLimit = int64_t{1} << 53;

// A numeral's block is reached only through the atom's hidden word, where it
// shares the word with the size class, so no leak checker sees the pointer;
// every live block is also on one list, which keeps a numeral that lives
// until exit (a literal of a definition) from looking like a leak.
struct NumeralBlock {
    DecimalValue value;
    NumeralBlock* prev = nullptr;
    NumeralBlock* next = nullptr;
};
NumeralBlock* gBlocks = nullptr;

void deleteBlock(NumeralBlock* b) {
    if (!b) return;
    if (b->prev)
        b->prev->next = b->next;
    else
        gBlocks = b->next;
    if (b->next) b->next->prev = b->prev;
    delete b;
}

inline bool isDigitByte(unsigned char ch) { return ch >= '0' && ch <= '9'; }
inline bool isNumeralAtom(const Cell* c) { return isDigitByte(static_cast<unsigned char>(rawBytes(c)[0])); }

inline uint64_t slotOf(const Cell* c) { return hiddenWord(c) & kSlotMask; }
inline void setSlot(const Cell* c, uint64_t v) {
    uint64_t& w = hiddenWord(c);
    w = (w & ~kSlotMask) | (v & kSlotMask);
}
// The block a numeral's slot points at, or null.
inline NumeralBlock* blockOf(const Cell* c) {
    uint64_t s = slotOf(c);
    if ((s & 1) || s <= kEscaped) return nullptr;
    return reinterpret_cast<NumeralBlock*>(s & ~kPendingTag);
}

// The digits of v, exactly nine, at p.
inline void writeNineDigits(char* p, uint32_t v) {
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    uint32_t hi = v / 10000000;  // the top two digits
    uint32_t lo = v % 10000000;  // seven more
    std::memcpy(p, pairs + 2 * hi, 2);
    uint32_t a = lo / 100000, b = lo % 100000;  // 2 + 5
    std::memcpy(p + 2, pairs + 2 * a, 2);
    uint32_t c = b / 1000, d = b % 1000;  // 2 + 3
    std::memcpy(p + 4, pairs + 2 * c, 2);
    std::memcpy(p + 6, pairs + 2 * (d / 10), 2);
    p[8] = static_cast<char>('0' + d % 10);
}

inline unsigned decimalWidth(uint32_t v) {
    unsigned n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// Writes the numeral text of value (length n) at t, with its NUL.
void writeNumeral(char* t, size_t n, const uint32_t* m, size_t count, bool negative) {
    char* p = t + n;
    *p = 0;
    for (size_t i = 0; i + 1 < count; ++i) {
        p -= 9;
        writeNineDigits(p, m[i]);
    }
    uint32_t top = m[count - 1];
    do {
        *--p = static_cast<char>('0' + top % 10);
        top /= 10;
    } while (top);
    if (negative) *--p = '0';
}
inline void writeNumeral(char* t, size_t n, const DecimalValue& value) {
    writeNumeral(t, n, value.magnitude.data(), value.magnitude.size(), value.negative);
}

void releaseKept(Cell* c) {
    if (!isNumeralAtom(c)) return;
    deleteBlock(blockOf(c));
}

// A cell made before counting was switched on may be freed after it.
inline void noteFree() {
    if (__builtin_expect(!gCounting, 1)) return;
    if (gStats.live) --gStats.live;
}

void freeAtom(Cell* c) {
    releaseKept(c);
    uint64_t w = hiddenWord(c);
    size_t cls = static_cast<size_t>(w >> 56);
    void* base = reinterpret_cast<char*>(c) - 8;
    if (cls == 0)
        std::free(base);
    else
        poolGive(base, cls);
    noteFree();
}

DefinitionLookup gLookup = nullptr;

constexpr const char* kOperatorChars = "{,}~!@#$%^&*<>-|+/=\\.`'\":;?";

}  // namespace

// ---- freeing --------------------------------------------------------------
//
// Dead pairs are chained through their header word, so freeing a list of any
// length uses no machine stack and no allocation.
void freeCell(Cell* c) {
    if (rawIsAtom(c)) {
        freeAtom(c);
        return;
    }
    Cell* pending = c;
    c->header = 0;
    while (pending) {
        Cell* p = pending;
        pending = reinterpret_cast<Cell*>(p->header);
        Cell* kids[2] = {rawLeft(p), rawRight(p)};
        poolGive(p, kPairClass);
        noteFree();
        for (Cell* k : kids) {
            uint64_t n = k->header & hdr::kCountMask;
            if (n == 0) assertionFailed("b", __LINE__);
            --k->header;
            if (n != 1) continue;
            if (rawIsAtom(k)) {
                freeAtom(k);
            } else {
                k->header = reinterpret_cast<uint64_t>(pending);
                pending = k;
            }
        }
    }
}

void freePairShell(Cell* c) {
    poolGive(c, kPairClass);
    noteFree();
}

// ---- construction ---------------------------------------------------------

namespace {

// The atom in the memory at base, of size class cls (0: malloc'd).
[[gnu::always_inline]] inline Cell* atomAt(char* base, size_t cls, size_t n, unsigned char f) {
    Cell* c = reinterpret_cast<Cell*>(base + 8);
    *reinterpret_cast<uint64_t*>(base) = static_cast<uint64_t>(cls) << 56;
    uint64_t h = hdr::kAtomBit | 1;  // the reference handed back
    if (n > 0 && (isDigitByte(f) || f == '[') && n < hdr::kSpanLimit) h |= static_cast<uint64_t>(n) << hdr::kSpanShift;
    c->header = h;
    return c;
}

// A new atom with room for n text bytes and the NUL, its header set from
// the first byte f; the text itself is the caller's to write.
[[gnu::always_inline]] inline Cell* allocateAtom(size_t n, unsigned char f) {
    size_t bytes = 8 + sizeof(Cell) + n + 1;
    size_t cls = (bytes + 7) / 8;
    char* base;
    if (bytes <= kPoolMax) {
        base = static_cast<char*>(poolTake(cls));
    } else {
        base = static_cast<char*>(std::malloc(bytes));
        if (!base) outOfMemory();
        cls = 0;
    }
    noteAlloc();
    return atomAt(base, cls, n, f);
}

// A free cell of class cls when one is at hand and nothing is counted,
// else null: the integers' common case, made without a call.
[[gnu::always_inline]] inline char* freeCellAtHand(size_t cls) {
#ifdef KILN_NO_POOL
    (void)cls;
    return nullptr;
#else
    FreeNode* n = gFree[cls];
    if (!n || gCounting) return nullptr;
    gFree[cls] = n->next;
    return reinterpret_cast<char*>(n);
#endif
}

}  // namespace

namespace {
NumeralBlock* newBlock(DecimalValue&& value) {
    NumeralBlock* b = new NumeralBlock{std::move(value), nullptr, gBlocks};
    if (gBlocks) gBlocks->prev = b;
    gBlocks = b;
    return b;
}
}  // namespace

CellRef makeNumeral(DecimalValue&& value) {
    LimbVector& m = value.magnitude;
    while (!m.empty() && m.back() == 0) m.pop_back();
    if (m.empty()) return makeAtom(std::string_view("0", 1));
    size_t n = (m.size() - 1) * 9 + decimalWidth(m.back()) + (value.negative ? 1 : 0);
    if (m.size() <= 2) {
        // Short enough to write now, and small enough to keep as a value.
        char buf[24];
        writeNumeral(buf, n, value);
        CellRef r = makeAtom(std::string_view(buf, n));
        int64_t v = static_cast<int64_t>(m[0]) + (m.size() > 1 ? static_cast<int64_t>(m[1]) * 1000000000 : 0);
        keepSmall(r.get(), value.negative ? -v : v);
        return r;
    }
    Cell* c = allocateAtom(n, '1');
    char* t = const_cast<char*>(rawBytes(c));
    // The first two bytes now, so that kind and sign tests need no text.
    char top[16];
    unsigned width = decimalWidth(m.back());
    DecimalValue head{false, {m.back()}};
    writeNumeral(top, width, head);
    if (value.negative) {
        t[0] = '0';
        t[1] = top[0];
    } else {
        t[0] = top[0];
        t[1] = width >= 2 ? top[1] : static_cast<char>('0' + m[m.size() - 2] / 100000000);
    }
    t[n] = 0;
    NumeralBlock* b = newBlock(std::move(value));
    setSlot(c, reinterpret_cast<uint64_t>(b) | kPendingTag);
    return CellRef::adopt(c);
}

std::string decimalText(const DecimalValue& value) {
    const LimbVector& m = value.magnitude;
    size_t top = m.size();
    while (top > 0 && m[top - 1] == 0) --top;
    if (top == 0) return "0";
    size_t n = (top - 1) * 9 + decimalWidth(m[top - 1]) + (value.negative ? 1 : 0);
    std::string out(n, '0');
    writeNumeral(out.data(), n, m.data(), top, value.negative);
    return out;
}

namespace {
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
constexpr uint64_t kPowers[20] = {1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull,
                                  10000000ull, 100000000ull, 1000000000ull, 10000000000ull,
                                  100000000000ull, 1000000000000ull, 10000000000000ull,
                                  100000000000000ull, 1000000000000000ull, 10000000000000000ull,
                                  100000000000000000ull, 1000000000000000000ull,
                                  10000000000000000000ull};

// The digits of m, two at a time from the right, ending at t[n] (a
// negative numeral's leading 0 is the caller's).
void writeSmall(char* t, uint64_t m, size_t n) {
    char* p = t + n;
    while (m >= 100) {
        uint64_t r = m % 100;
        m /= 100;
        p -= 2;
        p[0] = kPairs[2 * r];
        p[1] = kPairs[2 * r + 1];
    }
    if (m >= 10) {
        p[-2] = kPairs[2 * m];
        p[-1] = kPairs[2 * m + 1];
    } else {
        p[-1] = static_cast<char>('0' + m);
    }
}

// The first two of the digits (3 to 16) of m, each division by a constant.
uint64_t leadingPair(uint64_t m, size_t digits) {
    switch (digits) {
        case 3: return m / 10;
        case 4: return m / 100;
        case 5: return m / 1000;
        case 6: return m / 10000;
        case 7: return m / 100000;
        case 8: return m / 1000000;
        case 9: return m / 10000000;
        case 10: return m / 100000000;
        case 11: return m / 1000000000;
        case 12: return m / 10000000000;
        case 13: return m / 100000000000;
        case 14: return m / 1000000000000;
        case 15: return m / 10000000000000;
        case 16: return m / 100000000000000;
        default: return m / kPowers[digits - 2];
    }
}
}  // namespace

void materialiseText(const Cell* c) {
    int64_t v;
    if (keptSmall(c, v)) {
        // Only makeInteger leaves a small value's text pending, and only
        // for positive values.
        writeSmall(const_cast<char*>(rawBytes(c)), static_cast<uint64_t>(v), rawSpan(c));
        setSlot(c, slotOf(c) & ~kPendingTag);
        return;
    }
    NumeralBlock* b = blockOf(c);
    if (!b) assertionFailed("b", __LINE__);
    char* t = const_cast<char*>(rawBytes(c));
    size_t n = (b->value.magnitude.size() - 1) * 9 + decimalWidth(b->value.magnitude.back()) + (b->value.negative ? 1 : 0);
    writeNumeral(t, n, b->value);
    setSlot(c, reinterpret_cast<uint64_t>(b));
}

const DecimalValue* keptDecimal(const Cell* numeral) {
    if (!rawIsAtom(numeral) || !isNumeralAtom(numeral)) return nullptr;
    NumeralBlock* b = blockOf(numeral);
    return b ? &b->value : nullptr;
}

void keepDecimal(const Cell* numeral, DecimalValue&& value) {
    if (!rawIsAtom(numeral) || !isNumeralAtom(numeral) || slotOf(numeral) != 0) return;
    NumeralBlock* b = newBlock(std::move(value));
    setSlot(numeral, reinterpret_cast<uint64_t>(b));
}

void keepSmall(const Cell* numeral, int64_t value) {
    if (!rawIsAtom(numeral) || !isNumeralAtom(numeral) || slotOf(numeral) != 0) return;
    if (value >= kSmallLimit || value < -kSmallLimit) return;
    setSlot(numeral, (static_cast<uint64_t>(value) << 2) | 1);
}

void escapeAtom(const Cell* atom) {
    if (!rawIsAtom(atom) || !isNumeralAtom(atom)) return;
    if (rawTextPending(atom)) materialiseText(atom);
    deleteBlock(blockOf(atom));
    setSlot(atom, kEscaped);
}

CellRef makeAtom(std::string_view text) {
    size_t n = text.size();
    Cell* c = allocateAtom(n, n ? static_cast<unsigned char>(text[0]) : 0);
    char* t = const_cast<char*>(rawBytes(c));
    if (n) std::memcpy(t, text.data(), n);
    t[n] = 0;
    return CellRef::adopt(c);
}

CellRef makeAtom(const char* text) {
    if (!text) assertionFailed("b", __LINE__);
    return makeAtom(std::string_view(text));
}

CellRef makeAtom(std::string&& text) {
    CellRef r = makeAtom(std::string_view(text));
    std::string().swap(text);
    return r;
}

Cell* rawMakePair(Cell* l, Cell* r) {
    PairCell* p = static_cast<PairCell*>(poolTake(kPairClass));
    noteAlloc();
    p->header = 1;  // the reference handed back
    p->l = l;
    p->r = r;
    return p;
}

Cell* rawGrowAtom(Cell* atom, size_t newLength) {
    if ((atom->header & hdr::kCountMask) != 1) assertionFailed("b", __LINE__);
    char* base = reinterpret_cast<char*>(atom) - 8;
    size_t need = 8 + sizeof(Cell) + newLength + 1;
    uint64_t hidden = *reinterpret_cast<uint64_t*>(base);
    size_t cls = static_cast<size_t>(hidden >> 56);
    if (cls == 0) {
        if (need <= malloc_usable_size(base)) return atom;
        char* grown = static_cast<char*>(std::realloc(base, need + need / 2));
        if (!grown) outOfMemory();
        return reinterpret_cast<Cell*>(grown + 8);
    }
    if (need <= cls * 8) return atom;
    size_t old = cls * 8;
    char* grown = static_cast<char*>(std::malloc(need + need / 2));
    if (!grown) outOfMemory();
    std::memcpy(grown, base, old);
    *reinterpret_cast<uint64_t*>(grown) = hidden & ((uint64_t{1} << 56) - 1);  // now a malloc'd atom
    poolGive(base, cls);
    return reinterpret_cast<Cell*>(grown + 8);
}

void rawSetAtomLength(Cell* atom, size_t length) {
    unsigned char f = rawFirst(atom);
    uint64_t span = ((f >= '0' && f <= '9') || f == '[') && length < hdr::kSpanLimit ? length : 0;
    atom->header = (atom->header & ~hdr::kSpanMask) | (span << hdr::kSpanShift);
}

void rawFreePairShell(Cell* pair) {
    poolGive(pair, kPairClass);
    noteFree();
}

CellRef makePair(CellRef l, CellRef r) {
    if (!l || !r) assertionFailed("b", __LINE__);
    return CellRef::adopt(rawMakePair(l.release(), r.release()));
}

const CellRef& capitalAtom(char letter) {
    static CellRef* atoms = [] {
        CellRef* a = new CellRef[26];  // lives until the process ends
        for (int i = 0; i < 26; ++i) a[i] = makeAtom(std::string_view(std::string(1, static_cast<char>('A' + i))));
        return a;
    }();
    if (letter < 'A' || letter > 'Z') assertionFailed("b", __LINE__);
    return atoms[letter - 'A'];
}

CellRef apply(CellRef f, CellRef a) { return makePair(std::move(f), std::move(a)); }
CellRef apply(CellRef f, CellRef a, CellRef b) {
    return makePair(makePair(std::move(f), std::move(a)), std::move(b));
}
CellRef apply(CellRef f, CellRef a, CellRef b, CellRef c) {
    return makePair(makePair(makePair(std::move(f), std::move(a)), std::move(b)), std::move(c));
}

// ---- accessors ------------------------------------------------------------

CellRef left(const CellRef& c) {
    if (!c || rawIsAtom(c.get()) || !rawLeft(c.get())) assertionFailed("b", __LINE__);
    return CellRef(rawLeft(c.get()));
}

CellRef right(const CellRef& c) {
    if (!c || rawIsAtom(c.get()) || !rawRight(c.get())) assertionFailed("b", __LINE__);
    return CellRef(rawRight(c.get()));
}

std::string_view atomText(const Cell* c) {
    if (rawIsPair(c)) return {};
    const char* t = rawText(c);
    unsigned char f = static_cast<unsigned char>(t[0]);
    if (f == ' ') return {t, 9};
    if ((f >= '0' && f <= '9') || f == '[') {
        uint32_t s = rawSpan(c);
        if (s) return {t, s};
        size_t n = std::strlen(t);
        if (n > 0 && n < hdr::kSpanLimit) assertionFailed("b", __LINE__);
        return {t, n};
    }
    if (f == '(') {
        const char* close = static_cast<const char*>(std::memchr(t + 1, ')', 12));
        if (!close) assertionFailed("b", __LINE__);
        size_t payload = decodeLengthDigits(std::string_view(t + 1, static_cast<size_t>(close - t - 1)));
        return {t, static_cast<size_t>(close - t) + 1 + payload};
    }
    return {t, std::strlen(t)};
}

std::string textOf(const CellRef& c) { return std::string(atomText(c.get())); }

size_t rawPayloadLength(const Cell* c) {
    if (rawIsPair(c)) return 0;
    std::string_view t = atomText(c);
    if (!t.empty() && t[0] == '(') return t.size() - (t.find(')') + 1);
    return t.size();
}

size_t payloadLength(const CellRef& c) { return rawPayloadLength(c.get()); }

namespace {

// A work stack for walks over graphs of any depth: the first kInline
// entries live in the walker's own frame, deeper walks move to the heap.
template <typename T, size_t kInline = 64>
class WorkStack {
public:
    WorkStack() = default;
    WorkStack(const WorkStack&) = delete;
    WorkStack& operator=(const WorkStack&) = delete;
    ~WorkStack() {
        if (data_ != inline_) std::free(data_);
    }
    bool empty() const { return size_ == 0; }
    T& back() { return data_[size_ - 1]; }
    void pop() { --size_; }
    void push(const T& v) {
        if (__builtin_expect(size_ == capacity_, 0)) grow();
        data_[size_++] = v;
    }

private:
    [[gnu::noinline]] void grow() {
        size_t capacity = capacity_ * 2;
        T* fresh = static_cast<T*>(std::malloc(capacity * sizeof(T)));
        if (!fresh) outOfMemory();
        std::memcpy(static_cast<void*>(fresh), data_, size_ * sizeof(T));
        if (data_ != inline_) std::free(data_);
        data_ = fresh;
        capacity_ = capacity;
    }
    T inline_[kInline];
    T* data_ = inline_;
    size_t size_ = 0;
    size_t capacity_ = kInline;
};

// Atom texts: unsigned bytes from the first text byte, then the shorter is
// less. A byte string's whole text counts, its length prefix included, so
// that two byte strings of one length but different payloads never compare
// equal.
int compareAtoms(const Cell* x, const Cell* y) {
    std::string_view tx = atomText(x), ty = atomText(y);
    size_t n = tx.size() < ty.size() ? tx.size() : ty.size();
    int d = n ? std::memcmp(tx.data(), ty.data(), n) : 0;
    if (d != 0) return d < 0 ? 1 : -1;
    if (tx.size() != ty.size()) return tx.size() < ty.size() ? 1 : -1;
    return 0;
}

struct CellPair {
    const Cell* x;
    const Cell* y;
};

}  // namespace

int compareCells(const Cell* a, const Cell* b) {
    // Two atoms, or an atom against a pair, are answered at once.
    if (a == b) return 0;
    bool aa = rawIsAtom(a), ba = rawIsAtom(b);
    if (aa != ba) return aa ? 1 : -1;
    if (aa) return compareAtoms(a, b);
    // Pairs are compared with an explicit stack so that deep graphs cannot
    // overflow the machine stack.
    WorkStack<CellPair> todo;
    todo.push({a, b});
    while (!todo.empty()) {
        CellPair t = todo.back();
        todo.pop();
        const Cell* x = t.x;
        const Cell* y = t.y;
        if (x == y) continue;
        bool xa = rawIsAtom(x), ya = rawIsAtom(y);
        if (xa != ya) return xa ? 1 : -1;
        if (xa) {
            if (int d = compareAtoms(x, y)) return d;
            continue;
        }
        todo.push({rawRight(x), rawRight(y)});
        todo.push({rawLeft(x), rawLeft(y)});
    }
    return 0;
}

// ---- annotation -----------------------------------------------------------

void setDefinitionLookup(DefinitionLookup lookup) { gLookup = lookup; }

bool isDefinableName(std::string_view t) {
    if (t.empty()) return false;
    unsigned char f = static_cast<unsigned char>(t[0]);
    if (f == '_' || (f >= 'a' && f <= 'z')) {
        for (char ch : t)
            if (!(ch == '_' || (ch >= 'a' && ch <= 'z'))) return false;
        return true;
    }
    if (t.size() != 1) return false;
    if (f >= 'A' && f <= 'Z') return true;
    if ((f >= 1 && f <= 31) || f >= 127) return true;
    return f != 0 && std::strchr(kOperatorChars, f) != nullptr;
}

namespace {

inline void setTop(Cell* c, unsigned top) {
    c->header = (c->header & ~(uint64_t{0xFF} << 56)) | (static_cast<uint64_t>(top) << 56);
}
inline void setSpan(Cell* c, uint64_t span) {
    if (span >= hdr::kSpanLimit) assertionFailed("b", __LINE__);
    c->header = (c->header & ~hdr::kSpanMask) | (span << hdr::kSpanShift);
}
inline unsigned arityField(int value) {
    if (value < -52 || value > 11) assertionFailed("b", __LINE__);
    return static_cast<unsigned>(value + hdr::kArityBias);
}

// S(X): the free-variable contribution of an annotated cell.
inline uint32_t varsOf(const Cell* x) { return rawVariablesOf(x); }

inline int annotatedArity(const Cell* c) {
    if (rawHasDataMark(c)) return 1;
    return static_cast<int>((c->header >> hdr::kArityShift) & 0x3F) - hdr::kArityBias;
}

inline bool atomStarts(const Cell* c, char ch) { return rawIsAtom(c) && rawBytes(c)[0] == ch; }

void annotateAtom(Cell* c) {
    unsigned char f = static_cast<unsigned char>(rawBytes(c)[0]);
    unsigned atomBit = 0x80;
    if (isDigitByte(f)) {
        // A numeral is data: its text is not needed for that.
        setTop(c, atomBit | arityField(1));
        return;
    }
    if (f == ')' || f == ']' || f == ' ' || f == '(') {
        // Markers, reals and byte strings: no name starts so.
        setTop(c, atomBit | arityField(1));
        return;
    }
    if (f == '[') {
        setTop(c, 0xC0);
        return;
    }
    std::string_view text = atomText(c);
    if (text == "BI") {
        // The wrapper of a memoised lambda value: BI v x = v x.
        setTop(c, atomBit | arityField(2));
        return;
    }
    if (isDefinableName(text)) {
        if (text.size() == 1 && f >= 'a' && f <= 'z') {
            // A single lowercase letter is always a variable.
            setTop(c, atomBit | arityField(11));
            setSpan(c, uint64_t{1} << (f - 'a'));
            return;
        }
        const Cell* body = gLookup ? gLookup(text) : nullptr;
        if (!body) assertionFailed("b", __LINE__);
        int count = 0;
        while (count < 11 && rawIsPair(body)) {
            const Cell* l = rawLeft(body);
            if (!rawIsPair(l)) break;
            const Cell* bs = rawLeft(l);
            if (!rawIsAtom(bs) || std::strcmp(rawText(bs), "\\") != 0) break;
            ++count;
            body = rawRight(body);
        }
        setTop(c, atomBit | arityField(count));
        return;
    }
    setTop(c, atomBit | arityField(1));
}

void annotatePair(Cell* c) {
    Cell* L = rawLeft(c);
    Cell* R = rawRight(c);
    if (!rawAnnotated(L)) annotate(L);
    if (!rawAnnotated(R)) annotate(R);
    bool dl = rawHasDataMark(L), dr = rawHasDataMark(R);
    if (dl && dr) {
        uint64_t sl = rawSpan(L), sr = rawSpan(R);
        uint64_t span = (sl >= 2 && sr >= 2 && sl + sr < hdr::kSpanLimit) ? sl + sr : 0;
        setTop(c, 0x40);
        setSpan(c, span);
        return;
    }
    int arity;
    if (dl) {
        arity = 0;
    } else {
        int la = annotatedArity(L);
        arity = (la == 11 || la < -50) ? la : la - 1;
    }
    unsigned top = arityField(arity);
    // Lambda node ((\ x) body).
    if (rawIsPair(L) && atomStarts(rawLeft(L), '\\')) {
        setTop(c, top);
        setSpan(c, varsOf(R) & ~varsOf(L));
        return;
    }
    bool redex;
    if (!dl && (L->header & hdr::kRedexBit))
        redex = true;
    else if (dr)
        redex = false;
    else
        redex = (R->header & hdr::kRedexBit) != 0 || annotatedArity(R) < 1;
    if (redex) top |= 0x40;
    uint32_t span;
    if (rawIsPair(L) && atomStarts(rawLeft(L), '{')) {
        span = varsOf(R);
    } else if (rawIsPair(L) && rawIsPair(rawLeft(L)) && atomStarts(rawLeft(rawLeft(L)), '{')) {
        span = (varsOf(R) & ~varsOf(rawRight(rawLeft(L)))) | varsOf(L);
    } else {
        span = varsOf(L) | varsOf(R);
    }
    setTop(c, top);
    setSpan(c, span);
}

}  // namespace

void annotateApplication(Cell* c) {
    Cell* L = rawLeft(c);
    Cell* R = rawRight(c);
    if (!rawAnnotated(L)) annotate(L);
    if (!rawAnnotated(R)) annotate(R);
    uint64_t hl = L->header, hr = R->header;
    bool dl = ((hl >> 56) & 0x7F) == 0x40, dr = ((hr >> 56) & 0x7F) == 0x40;
    if (dl && dr) {
        uint64_t sl = rawSpan(L), sr = rawSpan(R);
        uint64_t span = (sl >= 2 && sr >= 2 && sl + sr < hdr::kSpanLimit) ? sl + sr : 0;
        c->header = (c->header & ~(uint64_t{0xFF} << 56) & ~hdr::kSpanMask) | (uint64_t{0x40} << 56) |
                    (span << hdr::kSpanShift);
        return;
    }
    // Both parts closed: no free letters, so the span is 0. An arity in
    // the field stays in its range: 11 and those below -50 are kept, any
    // other goes down by one.
    int arity = 0;
    if (!dl) {
        int la = static_cast<int>((hl >> hdr::kArityShift) & 0x3F) - hdr::kArityBias;
        arity = (la == 11 || la < -50) ? la : la - 1;
    }
    bool redex = (!dl && (hl & hdr::kRedexBit)) ||
                 (!dr && ((hr & hdr::kRedexBit) ||
                          static_cast<int>((hr >> hdr::kArityShift) & 0x3F) - hdr::kArityBias < 1));
    uint64_t top = static_cast<uint64_t>(arity + hdr::kArityBias) | (redex ? 0x40 : 0);
    c->header = (c->header & ~(uint64_t{0xFF} << 56) & ~hdr::kSpanMask) | (top << 56);
}

namespace {
// The digits of m: log10 from the bit length, corrected by one comparison.
[[gnu::always_inline]] inline size_t digitsOf(uint64_t m) {
    unsigned guess = static_cast<unsigned>((64 - __builtin_clzll(m | 1)) * 1233) >> 12;
    return m == 0 ? 1 : guess + 1 - (m < kPowers[guess] ? 1 : 0);
}

// Writes m, below 2^53 and of n digits, into the new numeral c, annotated
// as data at once. Counters and small results get their one or two digits;
// from 100 on, most results of arithmetic are only read by more
// arithmetic: the first two digits now, for the kind tests, the rest when
// read.
template <bool Small>  // m < 100
[[gnu::always_inline]] inline void fillInteger(Cell* c, uint64_t m, size_t n) {
    char* t = const_cast<char*>(rawBytes(c));
    setTop(c, 0x80 | arityField(1));
    if (Small) {
        t[0] = kPairs[2 * m];
        t[1] = kPairs[2 * m + 1];
        if (n == 1) t[0] = t[1];
        t[n] = 0;
        setSlot(c, (m << 2) | 1);
        return;
    }
    uint64_t top = leadingPair(m, n);
    t[0] = kPairs[2 * top];
    t[1] = kPairs[2 * top + 1];
    t[n] = 0;
    setSlot(c, (m << 2) | 1 | kPendingTag);
}

// A negative or large value, or no free cell at hand.
[[gnu::noinline]] CellRef makeIntegerSlow(int64_t value) {
    if (value >= 0 && value < kSmallLimit) {
        uint64_t m = static_cast<uint64_t>(value);
        size_t n = digitsOf(m);
        Cell* c = allocateAtom(n, '1');
        if (m < 100)
            fillInteger<true>(c, m, n);
        else
            fillInteger<false>(c, m, n);
        return CellRef::adopt(c);
    }
    uint64_t m = value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    size_t n = digitsOf(m) + (value < 0 ? 1 : 0);
    Cell* c = allocateAtom(n, '1');
    char* t = const_cast<char*>(rawBytes(c));
    t[n] = 0;
    setTop(c, 0x80 | arityField(1));  // annotated as data at once
    writeSmall(t, m, n);
    if (value < 0) t[0] = '0';  // a negative numeral starts with 0
    if (value < kSmallLimit && value >= -kSmallLimit) setSlot(c, (static_cast<uint64_t>(value) << 2) | 1);
    return CellRef::adopt(c);
}
}  // namespace

// The common results of arithmetic from a free cell at hand, in a function
// that calls nothing (so saves no registers); the rest in makeIntegerSlow.
CellRef makeInteger(int64_t value) {
    constexpr size_t kBase = 8 + sizeof(Cell) + 1 + 7;  // hidden word, header, NUL, rounding up
    uint64_t m = static_cast<uint64_t>(value);
    if (m < 100) {
        size_t n = m < 10 ? 1 : 2;
        if (char* base = freeCellAtHand((kBase + n) / 8)) {
            Cell* c = atomAt(base, (kBase + n) / 8, n, '1');
            fillInteger<true>(c, m, n);
            return CellRef::adopt(c);
        }
    } else if (value >= 100 && value < kSmallLimit) {
        size_t n = digitsOf(m);
        if (char* base = freeCellAtHand((kBase + n) / 8)) {
            Cell* c = atomAt(base, (kBase + n) / 8, n, '1');
            fillInteger<false>(c, m, n);
            return CellRef::adopt(c);
        }
    }
    return makeIntegerSlow(value);
}

// Arithmetic's result written over an operand the caller alone holds, when
// nothing else is kept with it and the new text fits its cell: a counter
// or an accumulator goes on in one cell instead of a new one per step.
bool refillInteger(Cell* c, int64_t value) {
    constexpr size_t kBase = 8 + sizeof(Cell) + 1 + 7;
    if (!(slotOf(c) & 1) || value < 0 || value >= kSmallLimit) return false;
    uint64_t m = static_cast<uint64_t>(value);
    size_t n = m < 10 ? 1 : m < 100 ? 2 : digitsOf(m);
    size_t cls = (kBase + n) / 8;
    if ((hiddenWord(c) >> 56) != cls) return false;
    char* base = reinterpret_cast<char*>(c) - 8;
    atomAt(base, cls, n, '1');
    if (m < 100)
        fillInteger<true>(c, m, n);
    else
        fillInteger<false>(c, m, n);
    return true;
}

CellRef makeReal(double value) {
    Cell* c = allocateAtom(9, ' ');
    char* t = const_cast<char*>(rawBytes(c));
    t[0] = ' ';
    std::memcpy(t + 1, &value, 8);  // x86-64 stores least significant byte first
    t[9] = 0;
    setTop(c, 0x80 | arityField(1));  // annotated as data at once
    return CellRef::adopt(c);
}

// The parts of a pair are annotated before the pair, with a stack of its own
// so that a deep graph costs no machine stack.
void annotate(Cell* c) {
    if (rawAnnotated(c)) return;
    if (rawIsAtom(c)) {
        annotateAtom(c);
        return;
    }
    if (rawAnnotated(rawLeft(c)) && rawAnnotated(rawRight(c))) {
        annotatePair(c);
        return;
    }
    WorkStack<Cell*> todo;
    todo.push(c);
    while (!todo.empty()) {
        Cell* t = todo.back();
        if (rawAnnotated(t)) {
            todo.pop();
            continue;
        }
        if (rawIsAtom(t)) {
            annotateAtom(t);
            todo.pop();
            continue;
        }
        Cell* l = rawLeft(t);
        Cell* r = rawRight(t);
        if (!rawAnnotated(l) || !rawAnnotated(r)) {
            if (!rawAnnotated(r)) todo.push(r);
            if (!rawAnnotated(l)) todo.push(l);
            continue;
        }
        annotatePair(t);
        todo.pop();
    }
}

// ---- hidden slot ----------------------------------------------------------

void setAtomSlot(Cell* atom, void* value) {
    if (isNumeralAtom(atom)) return;
    uint64_t& w = hiddenWord(atom);
    w = (w & (uint64_t{0xFF} << 56)) | (reinterpret_cast<uint64_t>(value) & ((uint64_t{1} << 56) - 1));
}

const CellStats& cellStats() { return gStats; }

void setCellCounting(bool on) { gCounting = on; }

// ---- large stack ----------------------------------------------------------

namespace {
struct Trampoline {
    void (*fn)(void*);
    void* arg;
};
void* trampoline(void* p) {
    Trampoline* t = static_cast<Trampoline*>(p);
    t->fn(t->arg);
    return nullptr;
}
}  // namespace

void runWithLargeStack(void (*fn)(void*), void* arg) {
    // The stack is reserved, not committed: pages are touched only as deep
    // walks reach them. Try smaller reservations where the host refuses;
    // under a tight address-space limit the walks run on the main stack,
    // which leaves the memory to cells, and a walk that still runs out of
    // stack meets its guard page, which the driver's fault handler reports
    // as running out of memory.
    Trampoline t{fn, arg};
    for (size_t gib : {16, 4, 1}) {
        pthread_attr_t attr;
        if (pthread_attr_init(&attr) != 0) break;
        pthread_attr_setstacksize(&attr, gib << 30);
        pthread_t th;
        int rc = pthread_create(&th, &attr, trampoline, &t);
        pthread_attr_destroy(&attr);
        if (rc == 0) {
            pthread_join(th, nullptr);
            return;
        }
    }
    fn(arg);
}

}  // namespace kiln
