// Mathematics on reals, and the calendar and clock. Times are 64-bit.
//
// A `tm` record as programs lay it out is the nine 32-bit fields (36
// bytes); the host's record is longer, so the calendar calls work on a host
// copy and write back only those 36 bytes.
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>

#include "bridge/args.h"
#include "bridge/families.h"

namespace kiln::bridge {

namespace {

static_assert(sizeof(time_t) == 8, "times are 64-bit");

constexpr size_t kProgramTmSize = 9 * sizeof(int);

using Real1 = double (*)(double);
using Real2 = double (*)(double, double);

template <Real1 F>
CellRef real1(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "R", a)) return failure();
    return realResult(F(a[0].real));
}

template <Real2 F>
CellRef real2(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "RR", a)) return failure();
    return realResult(F(a[0].real, a[1].real));
}

double clearSign(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, 8);
    bits &= ~(uint64_t{1} << 63);
    std::memcpy(&x, &bits, 8);
    return x;
}

// The exponent is an int like every other: its low 32 bits.
CellRef ldexpCall(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "RI", a)) return failure();
    return realResult(std::ldexp(a[0].real, static_cast<int>(a[1].i)));
}

// frexp and modf store their second result through the address; a null
// address stores nothing.
CellRef frexpCall(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "RI", a)) return failure();
    int host = 0;
    double fraction = std::frexp(a[0].real, &host);
    int32_t e = host;
    if (void* p = pointerOf(a[1])) std::memcpy(p, &e, sizeof e);
    return realResult(fraction);
}

CellRef modfCall(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "RI", a)) return failure();
    double whole = 0;
    double fraction = std::modf(a[0].real, &whole);
    if (void* p = pointerOf(a[1])) std::memcpy(p, &whole, sizeof whole);
    return realResult(fraction);
}

CellRef timeCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    time_t now = std::time(nullptr);
    if (void* p = pointerOf(a[0])) std::memcpy(p, &now, sizeof now);
    return signedResult(now);
}

CellRef difftimeCall(CellRef app) {
    Arg a[2];
    if (!readArgs(app.get(), "II", a)) return failure();
    return realResult(std::difftime(static_cast<time_t>(a[0].i), static_cast<time_t>(a[1].i)));
}

enum class TimeCell { Wrong, Null, Read };

// Reads the time cell whose address is the one argument.
TimeCell readTime(const CellRef& app, time_t& t) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return TimeCell::Wrong;
    void* p = pointerOf(a[0]);
    if (!p) return TimeCell::Null;
    std::memcpy(&t, p, sizeof t);
    return TimeCell::Read;
}

std::tm* localCalendar(const time_t* t) { return std::localtime(t); }
std::tm* universalCalendar(const time_t* t) { return std::gmtime(t); }
char* localText(const time_t* t) {
    std::tm* local = std::localtime(t);
    return local ? std::asctime(local) : nullptr;
}

// Answers the address of the host's static record or text, 0 when there is
// none (a null address, or a time the calendar cannot hold).
template <typename R, R* (*Convert)(const time_t*)>
CellRef calendarCall(CellRef app) {
    time_t t;
    switch (readTime(app, t)) {
        case TimeCell::Wrong: return failure();
        case TimeCell::Null: return pointerResult(nullptr);
        case TimeCell::Read: break;
    }
    return pointerResult(Convert(&t));
}

// A host record holding the program's nine fields; the zone fields follow
// the local zone, as strftime's %Z and %z read them.
std::tm hostTm(const void* record) {
    std::tm t{};
    std::memcpy(&t, record, kProgramTmSize);
    tzset();
    t.tm_zone = tzname[t.tm_isdst > 0 ? 1 : 0];
    t.tm_gmtoff = -timezone + (t.tm_isdst > 0 ? 3600 : 0);
    return t;
}

CellRef mktimeCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    void* p = pointerOf(a[0]);
    if (!p) return signedResult(-1);
    std::tm t = hostTm(p);
    time_t result = std::mktime(&t);
    std::memcpy(p, &t, kProgramTmSize);
    return signedResult(result);
}

CellRef asctimeCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    void* p = pointerOf(a[0]);
    if (!p) return pointerResult(nullptr);
    std::tm t = hostTm(p);
    return pointerResult(std::asctime(&t));
}

CellRef strftimeCall(CellRef app) {
    Arg a[4];
    if (!readArgs(app.get(), "IITI", a)) return failure();
    char* buffer = static_cast<char*>(pointerOf(a[0]));
    void* record = pointerOf(a[3]);
    if (!buffer || !a[2].text || !record || a[1].i <= 0) return unsignedResult(0);
    std::tm t = hostTm(record);
    return unsignedResult(std::strftime(buffer, static_cast<size_t>(a[1].i), a[2].text, &t));
}

}  // namespace

void registerMaths(Registry& r) {
    r.bind("acos", 1, real1<std::acos>);
    r.bind("asin", 1, real1<std::asin>);
    r.bind("atan", 1, real1<std::atan>);
    r.bind("ceil", 1, real1<std::ceil>);
    r.bind("cos", 1, real1<std::cos>);
    r.bind("cosh", 1, real1<std::cosh>);
    r.bind("erf", 1, real1<std::erf>);
    r.bind("erfc", 1, real1<std::erfc>);
    r.bind("exp", 1, real1<std::exp>);
    r.bind("floor", 1, real1<std::floor>);
    r.bind("log", 1, real1<std::log>);
    r.bind("sin", 1, real1<std::sin>);
    r.bind("sinh", 1, real1<std::sinh>);
    r.bind("sqrt", 1, real1<std::sqrt>);
    r.bind("tan", 1, real1<std::tan>);
    r.bind("tanh", 1, real1<std::tanh>);
    r.bind("fabs", 1, real1<clearSign>);
    r.bind("fmod", 2, real2<std::fmod>);
    r.bind("pow", 2, real2<std::pow>);
    r.bind("hypot", 2, real2<std::hypot>);
    r.bind("nextafter", 2, real2<std::nextafter>);
    r.bind("ldexp", 2, ldexpCall);
    r.bind("frexp", 2, frexpCall);
    r.bind("modf", 2, modfCall);
    r.bind("time", 1, timeCall);
    r.bind("difftime", 2, difftimeCall);
    r.bind("ctime", 1, calendarCall<char, localText>);
    r.bind("gmtime", 1, calendarCall<std::tm, universalCalendar>);
    r.bind("localtime", 1, calendarCall<std::tm, localCalendar>);
    r.bind("mktime", 1, mktimeCall);
    r.bind("asctime", 1, asctimeCall);
    r.bind("strftime", 4, strftimeCall);
}

}  // namespace kiln::bridge
