// Files and streams over the C runtime: buffered streams, descriptors and
// operations on file names. A stream is the FILE address as an integer.
//
// Streams are class P: the null stream (what fopen answers for a missing
// file) answers "Z" instead of being handed to the runtime, which would
// dereference it. Any other integer is trusted as a stream.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "bridge/args.h"
#include "bridge/families.h"

namespace kiln::bridge {

namespace {

std::FILE* stream(const Arg& a) { return static_cast<std::FILE*>(pointerOf(a)); }
char* buffer(const Arg& a) { return static_cast<char*>(pointerOf(a)); }

CellRef hStdout(CellRef) { return pointerResult(stdout); }
CellRef hStderr(CellRef) { return pointerResult(stderr); }

CellRef hFopen(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TT", a)) return failure();
    return pointerResult(std::fopen(a[0].text, a[1].text));
}

CellRef hFdopen(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "IT", a)) return failure();
    return pointerResult(fdopen(static_cast<int>(a[0].i), a[1].text));
}

CellRef hTmpfile(CellRef) { return pointerResult(std::tmpfile()); }

// The one-stream calls that answer an int.
template <int (*F)(std::FILE*)>
CellRef onStream(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "P", a)) return failure();
    return signedResult(F(stream(a[0])));
}

int closeStream(std::FILE* f) { return std::fclose(f); }
int endOfFile(std::FILE* f) { return std::feof(f); }
int streamError(std::FILE* f) { return std::ferror(f); }
int descriptorOf(std::FILE* f) { return fileno(f); }
int nextByte(std::FILE* f) { return std::fgetc(f); }
int nextByteMacro(std::FILE* f) { return std::getc(f); }

// fflush of the null stream flushes every output stream, as C defines.
CellRef hFflush(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return signedResult(std::fflush(stream(a[0])));
}

CellRef hClearerr(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "P", a)) return failure();
    std::clearerr(stream(a[0]));
    return unitResult();
}

CellRef hFtell(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "P", a)) return failure();
    return signedResult(std::ftell(stream(a[0])));
}

CellRef hRewind(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "P", a)) return failure();
    std::rewind(stream(a[0]));
    return unitResult();
}

CellRef hFseek(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "PII", a)) return failure();
    return signedResult(std::fseek(stream(a[0]), static_cast<long>(a[1].i), static_cast<int>(a[2].i)));
}

CellRef hFgetpos(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "PP", a)) return failure();
    return signedResult(std::fgetpos(stream(a[0]), static_cast<std::fpos_t*>(pointerOf(a[1]))));
}

CellRef hFsetpos(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "PP", a)) return failure();
    return signedResult(std::fsetpos(stream(a[0]), static_cast<const std::fpos_t*>(pointerOf(a[1]))));
}

// A null buffer makes the stream unbuffered.
CellRef hSetbuf(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "PI", a)) return failure();
    std::setbuf(stream(a[0]), buffer(a[1]));
    return unitResult();
}

CellRef hGetchar(CellRef) { return signedResult(std::getchar()); }

CellRef hUngetc(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "IP", a)) return failure();
    return signedResult(std::ungetc(static_cast<int>(a[0].i), stream(a[1])));
}

CellRef hFgets(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "PIP", a)) return failure();
    return pointerResult(std::fgets(buffer(a[0]), static_cast<int>(a[1].i), stream(a[2])));
}

CellRef hFputc(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "IP", a)) return failure();
    return signedResult(std::fputc(static_cast<int>(a[0].i), stream(a[1])));
}

CellRef hPutc(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "IP", a)) return failure();
    return signedResult(std::putc(static_cast<int>(a[0].i), stream(a[1])));
}

CellRef hPutchar(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return signedResult(std::putchar(static_cast<int>(a[0].i)));
}

// The text only by address: a literal or a byte string answers "Z".
CellRef hFputs(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "PP", a)) return failure();
    return signedResult(std::fputs(buffer(a[0]), stream(a[1])));
}

CellRef hPuts(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    return signedResult(std::puts(a[0].text));
}

CellRef hFread(CellRef app) {
    Arg a[4];
    if (!readArgs(app.get(), "PIIP", a)) return failure();
    return unsignedResult(std::fread(buffer(a[0]), static_cast<size_t>(a[1].i), static_cast<size_t>(a[2].i),
                                     stream(a[3])));
}

// Of a literal or a byte string no more items are written than it holds.
CellRef hFwrite(CellRef app) {
    Arg a[4];
    if (!readArgs(app.get(), "TNNP", a)) return failure();
    uint64_t size = static_cast<uint64_t>(a[1].i), count = static_cast<uint64_t>(a[2].i), total;
    if (__builtin_mul_overflow(size, count, &total)) total = UINT64_MAX;
    if (size != 0) count = readableBytes(a[0], total) / size;
    if (size == 0 || count == 0) return signedResult(0);
    return signedResult(static_cast<int64_t>(std::fwrite(a[0].text, size, count, stream(a[3]))));
}

// A null prefix prints the message alone.
CellRef hPerror(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    std::perror(a[0].text);
    return unitResult();
}

CellRef hRemove(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    return signedResult(std::remove(a[0].text));
}

CellRef hRename(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TT", a)) return failure();
    return signedResult(std::rename(a[0].text, a[1].text));
}

// A name in /tmp that no file has: "/tmp/kiln" and ten letters or digits,
// 19 bytes and the NUL (L_tmpnam). The buffer 0 means a static one.
CellRef hTmpnam(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    static char own[L_tmpnam];
    static uint64_t counter = 0;
    static_assert(L_tmpnam >= 20);
    char name[20];
    const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    uint64_t seed = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 20) ^
                    (static_cast<uint64_t>(getpid()) << 40);
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t x = seed + 0x9E3779B97F4A7C15ull * ++counter;
        x ^= x >> 31;
        x *= 0xBF58476D1CE4E5B9ull;
        x ^= x >> 29;
        std::memcpy(name, "/tmp/kiln", 9);
        for (int i = 9; i < 19; ++i, x /= 36) name[i] = digits[x % 36];
        name[19] = 0;
        struct stat st;
        if (lstat(name, &st) == 0 || errno != ENOENT) continue;
        char* out = a[0].i ? buffer(a[0]) : own;
        std::memcpy(out, name, sizeof name);
        return pointerResult(out);
    }
    return signedResult(0);
}

CellRef hRead(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "III", a)) return failure();
    return signedResult(::read(static_cast<int>(a[0].i), buffer(a[1]), static_cast<size_t>(a[2].i)));
}

// Of a literal or a byte string no more bytes are written than it holds.
CellRef hWrite(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "ITI", a)) return failure();
    size_t n = readableBytes(a[1], static_cast<uint64_t>(a[2].i));
    return signedResult(::write(static_cast<int>(a[0].i), a[1].text, n));
}

}  // namespace

void registerFiles(Registry& r) {
    r.bind("stdout", 0, hStdout);
    r.bind("stderr", 0, hStderr);
    r.bind("fopen", 2, hFopen);
    r.bind("fdopen", 2, hFdopen);
    r.bind("tmpfile", 0, hTmpfile);
    r.bind("fclose", 1, onStream<closeStream>);
    r.bind("fflush", 1, hFflush);
    r.bind("feof", 1, onStream<endOfFile>);
    r.bind("ferror", 1, onStream<streamError>);
    r.bind("clearerr", 1, hClearerr);
    r.bind("fileno", 1, onStream<descriptorOf>);
    r.bind("ftell", 1, hFtell);
    r.bind("rewind", 1, hRewind);
    r.bind("fseek", 3, hFseek);
    r.bind("fgetpos", 2, hFgetpos);
    r.bind("fsetpos", 2, hFsetpos);
    r.bind("setbuf", 2, hSetbuf);
    r.bind("fgetc", 1, onStream<nextByte>);
    r.bind("getc", 1, onStream<nextByteMacro>);
    r.bind("getchar", 0, hGetchar);
    r.bind("ungetc", 2, hUngetc);
    r.bind("fgets", 3, hFgets);
    r.bind("fputc", 2, hFputc);
    r.bind("putc", 2, hPutc);
    r.bind("putchar", 1, hPutchar);
    r.bind("fputs", 2, hFputs);
    r.bind("puts", 1, hPuts);
    r.bind("fread", 4, hFread);
    r.bind("fwrite", 4, hFwrite);
    r.bind("perror", 1, hPerror);
    r.bind("remove", 1, hRemove);
    r.bind("rename", 2, hRename);
    r.bind("tmpnam", 1, hTmpnam);
    r.bind("read", 3, hRead);
    r.bind("write", 3, hWrite);
}

}  // namespace kiln::bridge
