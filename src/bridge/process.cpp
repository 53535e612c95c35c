// Process and environment builtins, and the constant builtins.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "bridge/args.h"
#include "bridge/families.h"
#include "cells/integers.h"

namespace kiln::bridge {

namespace {

CellRef hAbort(CellRef) { std::abort(); }

CellRef hExit(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    std::exit(static_cast<int>(a[0].i));  // flushes the C streams
}

CellRef hSystem(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();  // null asks whether a shell exists
    return signedResult(std::system(a[0].text));
}

CellRef hGetenv(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "T", a)) return failure();
    return pointerResult(std::getenv(a[0].text));
}

// The host's generator gives 31 bits; its top 15 keep rand within rand_max.
CellRef hRand(CellRef) { return signedResult(std::rand() >> 16); }

CellRef hSrand(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    std::srand(static_cast<unsigned>(a[0].i));
    return unitResult();
}

CellRef hRaise(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    return signedResult(std::raise(static_cast<int>(a[0].i)));
}

CellRef hErrno(CellRef) { return signedResult(errno); }

CellRef hAssert(CellRef app) {
    Cell* v = rawRight(app.get());
    if (rawIsAtom(v) && std::strcmp(rawText(v), "K") == 0) return unitResult();
    if (rawIsAtom(v) && std::strcmp(rawText(v), "H") == 0) assertionFailed("l", __LINE__);
    return failure();
}

template <int64_t Value>
CellRef constant(CellRef) {
    return makeInteger(Value);
}

}  // namespace

void registerProcess(Registry& r) {
    r.bind("abort", 0, hAbort);
    r.bind("exit", 1, hExit);
    r.bind("system", 1, hSystem);
    r.bind("getenv", 1, hGetenv);
    r.bind("rand", 0, hRand);
    r.bind("srand", 1, hSrand);
    r.bind("rand_max", 0, constant<32767>);
    r.bind("raise", 1, hRaise);
    r.bind("errno", 0, hErrno);
    r.bind("assert", 1, hAssert);

    // Error numbers as this host's errno reports them.
    r.bind("eacces", 0, constant<EACCES>);
    r.bind("ebadf", 0, constant<EBADF>);
    r.bind("econnaborted", 0, constant<ECONNABORTED>);
    r.bind("efault", 0, constant<EFAULT>);
    r.bind("eintr", 0, constant<EINTR>);
    r.bind("einval", 0, constant<EINVAL>);
    r.bind("eio", 0, constant<EIO>);
    r.bind("emfile", 0, constant<EMFILE>);
    r.bind("enfile", 0, constant<ENFILE>);
    r.bind("enodev", 0, constant<ENODEV>);
    r.bind("enomem", 0, constant<ENOMEM>);
    r.bind("enotsock", 0, constant<ENOTSOCK>);
    r.bind("enxio", 0, constant<ENXIO>);
    r.bind("eopnotsupp", 0, constant<EOPNOTSUPP>);
    r.bind("eoverflow", 0, constant<EOVERFLOW>);
    r.bind("ewouldblock", 0, constant<EWOULDBLOCK>);

    // Record sizes as programs lay the records out, and socket constants.
    r.bind("addrinfo", 0, constant<48>);
    r.bind("dirent", 0, constant<296>);
    r.bind("time_t", 0, constant<8>);
    r.bind("af_unspec", 0, constant<0>);
    r.bind("ai_passive", 0, constant<1>);
    r.bind("sock_stream", 0, constant<1>);
}

}  // namespace kiln::bridge
