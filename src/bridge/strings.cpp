// C strings and characters. A text given as the integer 0 is the null
// pointer, as for every text argument: the function reads it as C would
// (the fault line names the builtin). Destinations are class P: the null
// address answers "Z". strlen, strcmp, strcpy and strcat are computed here;
// the rest are the C runtime's.
#include <strings.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bridge/args.h"
#include "bridge/families.h"

namespace kiln::bridge {

namespace {

char* writable(const Arg& a) { return static_cast<char*>(pointerOf(a)); }

// The loops below read and write at addresses the program gave; the null
// address faults there like any other bad one, also in the sanitizer build.
#define KILN_PROGRAM_MEMORY [[gnu::no_sanitize("null")]]

KILN_PROGRAM_MEMORY CellRef hStrlen(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    const char* p = a[0].text;
    int64_t n = 0;
    while (p[n]) ++n;
    return signedResult(n);
}

CellRef hStrnlen(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TI", a)) return failure();
    return signedResult(static_cast<int64_t>(strnlen(a[0].text, static_cast<size_t>(a[1].i))));
}

KILN_PROGRAM_MEMORY CellRef hStrcmp(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TT", a)) return failure();
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a[0].text);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(a[1].text);
    while (*x && *x == *y) ++x, ++y;
    return signedResult(*x == *y ? 0 : (*x < *y ? -1 : 1));
}

CellRef hStrcasecmp(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TT", a)) return failure();
    return signedResult(strcasecmp(a[0].text, a[1].text));
}

CellRef hStrncmp(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "TTI", a)) return failure();
    return signedResult(std::strncmp(a[0].text, a[1].text, static_cast<size_t>(a[2].i)));
}

CellRef hStrncasecmp(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "TTI", a)) return failure();
    return signedResult(strncasecmp(a[0].text, a[1].text, static_cast<size_t>(a[2].i)));
}

// Copies the source and its NUL to d.
KILN_PROGRAM_MEMORY void copyText(char* d, const char* s) {
    do *d++ = *s;
    while (*s++);
}

CellRef hStrcpy(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "PT", a)) return failure();
    copyText(writable(a[0]), a[1].text);
    return signedResult(a[0].i);
}

KILN_PROGRAM_MEMORY CellRef hStrcat(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "PT", a)) return failure();
    char* d = writable(a[0]);
    while (*d) ++d;
    copyText(d, a[1].text);
    return signedResult(a[0].i);
}

CellRef hStrncpy(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "PPI", a)) return failure();
    return pointerResult(std::strncpy(writable(a[0]), writable(a[1]), static_cast<size_t>(a[2].i)));
}

CellRef hStrncat(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "PTI", a)) return failure();
    return pointerResult(std::strncat(writable(a[0]), a[1].text, static_cast<size_t>(a[2].i)));
}

CellRef hStrdup(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    return pointerResult(strdup(a[0].text));
}

CellRef hStrchr(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TI", a)) return failure();
    return pointerResult(std::strchr(a[0].text, static_cast<int>(a[1].i)));
}

CellRef hStrrchr(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TI", a)) return failure();
    return pointerResult(std::strrchr(a[0].text, static_cast<int>(a[1].i)));
}

CellRef hStrpbrk(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TT", a)) return failure();
    return pointerResult(std::strpbrk(a[0].text, a[1].text));
}

CellRef hStrspn(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TT", a)) return failure();
    return signedResult(static_cast<int64_t>(std::strspn(a[0].text, a[1].text)));
}

CellRef hStrstr(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TT", a)) return failure();
    return pointerResult(std::strstr(a[0].text, a[1].text));
}

// Continuing (text 0) with no text left answers 0 rather than reading
// through the null context, as the C runtime would.
char* nextToken(char* text, const char* delimiters, char** context) {
    if (!text && !*context) return nullptr;
    return strtok_r(text, delimiters, context);
}

CellRef hStrtok(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "IT", a)) return failure();
    static char* context = nullptr;
    return pointerResult(nextToken(writable(a[0]), a[1].text, &context));
}

CellRef hStrtokR(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "ITP", a)) return failure();
    return pointerResult(nextToken(writable(a[0]), a[1].text, static_cast<char**>(pointerOf(a[2]))));
}

// The end-pointer cell 0 means none.
char** endCell(const Arg& a) { return static_cast<char**>(pointerOf(a)); }

CellRef hStrtol(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "TII", a)) return failure();
    return signedResult(std::strtol(a[0].text, endCell(a[1]), static_cast<int>(a[2].i)));
}

// The signed conversion, answered as the unsigned 64 bits of its value.
CellRef hStrtoul(CellRef app) {
    Arg a[3];
    if (!readArgs(app.get(), "TII", a)) return failure();
    return unsignedResult(static_cast<uint64_t>(std::strtol(a[0].text, endCell(a[1]), static_cast<int>(a[2].i))));
}

CellRef hStrtod(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "TI", a)) return failure();
    return realResult(std::strtod(a[0].text, endCell(a[1])));
}

CellRef hAtoi(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    return signedResult(std::atoi(a[0].text));
}

CellRef hAtol(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    return signedResult(std::atol(a[0].text));
}

CellRef hAtof(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    return realResult(std::atof(a[0].text));
}

CellRef hStrerror(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return pointerResult(std::strerror(static_cast<int>(a[0].i)));
}

// The character argument narrowed to an int. The runtime's tables cover the
// bytes 0 to 255 (and EOF); any other value is in no class and is left as
// it is by the case conversions, instead of indexing past the tables.
bool isByte(int c) { return c >= 0 && c <= 255; }

template <int (*F)(int)>
CellRef classify(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    int c = static_cast<int>(a[0].i);
    return truthResult(isByte(c) && F(c) != 0);
}

template <int (*F)(int)>
CellRef convertCase(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    int c = static_cast<int>(a[0].i);
    return signedResult(isByte(c) ? F(c) : c);
}

int alnum(int c) { return std::isalnum(c); }
int alpha(int c) { return std::isalpha(c); }
int blank(int c) { return std::isblank(c); }
int digit(int c) { return std::isdigit(c); }
int graph(int c) { return std::isgraph(c); }
int lower(int c) { return std::islower(c); }
int print(int c) { return std::isprint(c); }
int punct(int c) { return std::ispunct(c); }
int space(int c) { return std::isspace(c); }
int upper(int c) { return std::isupper(c); }
int toLower(int c) { return std::tolower(c); }
int toUpper(int c) { return std::toupper(c); }

CellRef hIsascii(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return truthResult(static_cast<uint32_t>(a[0].i) < 128);
}

CellRef hToascii(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return signedResult(static_cast<int>(a[0].i) & 0x7F);
}

}  // namespace

void registerStrings(Registry& r) {
    r.bind("strlen", 1, hStrlen);
    r.bind("strnlen", 2, hStrnlen);
    r.bind("strcmp", 2, hStrcmp);
    r.bind("strcasecmp", 2, hStrcasecmp);
    r.bind("strncmp", 3, hStrncmp);
    r.bind("strncasecmp", 3, hStrncasecmp);
    r.bind("strcpy", 2, hStrcpy);
    r.bind("strcat", 2, hStrcat);
    r.bind("strncpy", 3, hStrncpy);
    r.bind("strncat", 3, hStrncat);
    r.bind("strdup", 1, hStrdup);
    r.bind("strchr", 2, hStrchr);
    r.bind("strrchr", 2, hStrrchr);
    r.bind("strpbrk", 2, hStrpbrk);
    r.bind("strspn", 2, hStrspn);
    r.bind("strstr", 2, hStrstr);
    r.bind("strtok", 2, hStrtok);
    r.bind("strtok_r", 3, hStrtokR);
    r.bind("strtol", 3, hStrtol);
    r.bind("strtoul", 3, hStrtoul);
    r.bind("strtod", 2, hStrtod);
    r.bind("atoi", 1, hAtoi);
    r.bind("atol", 1, hAtol);
    r.bind("atof", 1, hAtof);
    r.bind("strerror", 1, hStrerror);

    r.bind("isalnum", 1, classify<alnum>);
    r.bind("isalpha", 1, classify<alpha>);
    r.bind("isblank", 1, classify<blank>);
    r.bind("isdigit", 1, classify<digit>);
    r.bind("isgraph", 1, classify<graph>);
    r.bind("islower", 1, classify<lower>);
    r.bind("isprint", 1, classify<print>);
    r.bind("ispunct", 1, classify<punct>);
    r.bind("isspace", 1, classify<space>);
    r.bind("isupper", 1, classify<upper>);
    r.bind("isascii", 1, hIsascii);
    r.bind("toascii", 1, hToascii);
    r.bind("tolower", 1, convertCase<toLower>);
    r.bind("toupper", 1, convertCase<toUpper>);
}

}  // namespace kiln::bridge
