// Raw memory: the C allocator, byte ranges, and loads and stores of 8, 16,
// 32 and 64 bits at any address. Addresses are trusted.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bridge/args.h"
#include "bridge/families.h"

namespace kiln::bridge {

namespace {

// A zero length touches nothing, so a range of no bytes is answered without
// handing its (possibly null) addresses to the C function.

// No block can be larger than the address space's signed half; such a size
// fails here as the C allocator would fail it, with ENOMEM. Under the
// address sanitizer the ceiling is its allocator's, which would otherwise
// stop the process instead of answering null.
#if defined(__SANITIZE_ADDRESS__)
constexpr uint64_t kLargestBlock = uint64_t{1} << 40;
#else
constexpr uint64_t kLargestBlock = static_cast<uint64_t>(PTRDIFF_MAX);
#endif

CellRef noMemory() {
    errno = ENOMEM;
    return signedResult(0);
}

CellRef hMalloc(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    uint64_t size = static_cast<uint64_t>(a[0].i);
    if (size > kLargestBlock) return noMemory();
    return pointerResult(std::malloc(size));
}

CellRef hCalloc(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "II", a)) return failure();
    uint64_t count = static_cast<uint64_t>(a[0].i), size = static_cast<uint64_t>(a[1].i);
    uint64_t total;
    if (__builtin_mul_overflow(count, size, &total) || total > kLargestBlock) return noMemory();
    return pointerResult(std::calloc(count, size));
}

CellRef hRealloc(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "II", a)) return failure();
    uint64_t size = static_cast<uint64_t>(a[1].i);
    if (size > kLargestBlock) return noMemory();
    return pointerResult(std::realloc(pointerOf(a[0]), size));
}

CellRef hFree(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "U", a)) return failure();
    std::free(pointerOf(a[0]));
    return unitResult();
}

CellRef hBzero(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "II", a)) return failure();
    if (a[1].i != 0) std::memset(pointerOf(a[0]), 0, static_cast<size_t>(a[1].i));
    return unitResult();
}

CellRef hMemset(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "UUU", a)) return failure();
    if (a[2].i == 0) return signedResult(a[0].i);
    return pointerResult(std::memset(pointerOf(a[0]), static_cast<int>(a[1].i), static_cast<size_t>(a[2].i)));
}

CellRef hMemchr(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    if (a[2].i == 0) return signedResult(0);
    return pointerResult(std::memchr(pointerOf(a[0]), static_cast<int>(a[1].i), static_cast<size_t>(a[2].i)));
}

CellRef hMemcmp(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    if (a[2].i == 0) return signedResult(0);
    return signedResult(std::memcmp(pointerOf(a[0]), pointerOf(a[1]), static_cast<size_t>(a[2].i)));
}

CellRef hMemcpy(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    if (a[2].i == 0) return signedResult(a[0].i);
    return pointerResult(std::memcpy(pointerOf(a[0]), pointerOf(a[1]), static_cast<size_t>(a[2].i)));
}

CellRef hMemmove(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    if (a[2].i == 0) return signedResult(a[0].i);
    return pointerResult(std::memmove(pointerOf(a[0]), pointerOf(a[1]), static_cast<size_t>(a[2].i)));
}

// A load of a W at the address, extended to 64 bits by W's signedness. The
// bytes are copied, so an unaligned address is as good as any.
template <typename W>
CellRef load(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "U", a)) return failure();
    W w;
    std::memcpy(&w, pointerOf(a[0]), sizeof w);
    return signedResult(static_cast<int64_t>(w));
}

// A store of the value's low bits.
template <typename W>
CellRef store(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "II", a)) return failure();
    W w = static_cast<W>(static_cast<uint64_t>(a[1].i));
    std::memcpy(pointerOf(a[0]), &w, sizeof w);
    return unitResult();
}

}  // namespace

void registerMemory(Registry& r) {
    r.bind("malloc", 1, hMalloc);
    r.bind("calloc", 2, hCalloc);
    r.bind("realloc", 2, hRealloc);
    r.bind("free", 1, hFree);
    r.bind("bzero", 2, hBzero);
    r.bind("memset", 3, hMemset);
    r.bind("memchr", 3, hMemchr);
    r.bind("memcmp", 3, hMemcmp);
    r.bind("memcpy", 3, hMemcpy);
    r.bind("memmove", 3, hMemmove);

    r.bind("getx", 1, load<uint8_t>);
    r.bind("gety", 1, load<int8_t>);
    r.bind("gett", 1, load<uint16_t>);
    r.bind("getv", 1, load<int16_t>);
    r.bind("getu", 1, load<uint32_t>);
    r.bind("gets", 1, load<int32_t>);
    r.bind("getw", 1, load<int64_t>);
    r.bind("getz", 1, load<int64_t>);

    r.bind("setx", 2, store<uint8_t>);
    r.bind("sett", 2, store<uint16_t>);
    r.bind("setu", 2, store<uint32_t>);
    r.bind("setw", 2, store<uint64_t>);
}

}  // namespace kiln::bridge
