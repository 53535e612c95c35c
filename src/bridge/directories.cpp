// opendir, readdir and closedir. A handle is the address of a block whose
// first 296 bytes are the entry record readdir fills; each readdir reads one
// entry ahead so that d_off can name the next one. Only handles opendir
// answered and closedir has not closed are used; any other integer is a bad
// handle (errno 9), never memory to follow.
#include <cerrno>
#include <memory>
#include <optional>
#include <unordered_map>

#include "bridge/args.h"
#include "bridge/families.h"
#include "bridge/host_dir.h"

namespace kiln::bridge {

namespace {

struct Handle {
    alignas(8) unsigned char record[dir::kDirentSize];
    dir::Stream stream;
    std::optional<dir::Entry> ahead;
};

std::unordered_map<int64_t, std::unique_ptr<Handle>>& handles() {
    static std::unordered_map<int64_t, std::unique_ptr<Handle>> open;
    return open;
}

int64_t handleValue(const Handle& h) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(h.record)); }

Handle* findHandle(int64_t value) {
    auto it = handles().find(value);
    return it == handles().end() ? nullptr : it->second.get();
}

CellRef opendirCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    const char* name = static_cast<const char*>(pointerOf(a[0]));
    if (!name || !*name) {
        errno = 2;
        return signedResult(0);
    }
    auto h = std::make_unique<Handle>();
    int error = 0;
    if (!h->stream.open(name, error)) {
        errno = error;
        return signedResult(0);
    }
    dir::Entry first;
    if (h->stream.next(first)) h->ahead = std::move(first);
    int64_t value = handleValue(*h);
    handles().emplace(value, std::move(h));
    return signedResult(value);
}

CellRef readdirCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    Handle* h = findHandle(a[0].i);
    if (!h) {
        errno = 9;
        return signedResult(0);
    }
    dir::Entry entry;
    if (h->ahead) {
        entry = std::move(*h->ahead);
        h->ahead.reset();
    } else if (!h->stream.next(entry)) {
        return signedResult(0);
    }
    dir::Entry next;
    int32_t offset = dir::kLastOffset;
    if (h->stream.next(next)) {
        offset = dir::nameHash(next.name);
        h->ahead = std::move(next);
    }
    dir::writeRecord(h->record, entry, offset);
    return signedResult(handleValue(*h));
}

CellRef closedirCall(CellRef app) {
    Arg a[1];
    if (!readArgs(app.get(), "I", a)) return failure();
    if (handles().erase(a[0].i) == 0) {
        errno = 9;
        return signedResult(-1);
    }
    return signedResult(0);
}

}  // namespace

void registerDirectories(Registry& r) {
    r.bind("opendir", 1, opendirCall);
    r.bind("readdir", 1, readdirCall);
    r.bind("closedir", 1, closedirCall);
}

}  // namespace kiln::bridge
