// KILN_PROFILE: who the steps, cells and time of an evaluation belong to.
//
// A shadow stack follows the compiled activations: steps are charged to the
// activation on top, or to the definition the graph engine instantiated last.
// Inclusive figures run from a compiled activation's start to its end (the
// outermost one when a definition recurses); a definition entered by the
// graph engine has no end the engine could see, so there its inclusive
// figures are its self figures.
#include "reduce/profile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "cells/cell.h"
#include "reduce/engine.h"

namespace kiln::reduce {

bool gProfiling = false;

namespace {

struct Row {
    std::string name;
    uint64_t calls = 0, selfSteps = 0, inclSteps = 0, selfCells = 0, inclCells = 0;
    uint64_t selfTime = 0;  // nanoseconds
    uint64_t depth = 0;     // compiled activations of the row running
    uint64_t startSteps = 0, startCells = 0;
};

struct Frame {
    int row;
    int previous;  // the row charged before the activation began
};

struct Profile {
    bool bySteps = false;
    std::vector<Row> rows;
    std::unordered_map<std::string, int> index;
    std::vector<Frame> frames;
    int current = 0;
    uint64_t steps = 0, cells = 0, time = 0;  // at the last charge
} * gProfile = nullptr;

uint64_t nowNs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}
uint64_t stepsNow() { return engineStats().steps; }
uint64_t cellsNow() { return cellStats().allocated; }

// What ran since the last charge belongs to the current row.
void charge() {
    Profile& p = *gProfile;
    uint64_t s = stepsNow(), c = cellsNow(), t = p.bySteps ? 0 : nowNs();
    Row& r = p.rows[p.current];
    r.selfSteps += s - p.steps;
    r.selfCells += c - p.cells;
    r.selfTime += t - p.time;
    if (r.depth == 0) {
        r.inclSteps += s - p.steps;
        r.inclCells += c - p.cells;
    }
    p.steps = s, p.cells = c, p.time = t;
}

void begin(int row) {
    Row& r = gProfile->rows[row];
    ++r.calls;
    if (r.depth++ == 0) r.startSteps = gProfile->steps, r.startCells = gProfile->cells;
}
void end(int row) {
    Row& r = gProfile->rows[row];
    if (--r.depth == 0) {
        r.inclSteps += gProfile->steps - r.startSteps;
        r.inclCells += gProfile->cells - r.startCells;
    }
}

void printProfile() {
    Profile& p = *gProfile;
    charge();
    std::vector<Row*> rows;
    uint64_t total = 0, totalTime = 0;
    for (Row& r : p.rows) {
        // The activations still running at exit end here.
        while (r.depth) end(static_cast<int>(&r - p.rows.data()));
        total += r.selfSteps;
        totalTime += r.selfTime;
        if (r.calls || r.selfSteps || &r == p.rows.data()) rows.push_back(&r);
    }
    Row& main = p.rows[0];
    main.inclSteps = total;
    main.inclCells = cellsNow();
    auto key = [&](const Row* r) { return p.bySteps ? r->selfSteps : r->selfTime; };
    std::stable_sort(rows.begin(), rows.end(), [&](const Row* a, const Row* b) {
        if (key(a) != key(b)) return key(a) > key(b);
        return a->name < b->name;
    });
    uint64_t whole = p.bySteps ? total : totalTime;
    std::fprintf(stderr, "kiln profile (share of %s, self first):\n", p.bySteps ? "steps" : "time");
    std::fprintf(stderr, "%7s %10s %12s %12s %12s %12s  %s\n", "share", "calls", "self steps", "incl steps",
                 "self cells", "incl cells", "definition");
    for (const Row* r : rows) {
        double share = whole ? 100.0 * static_cast<double>(key(r)) / static_cast<double>(whole) : 0.0;
        std::fprintf(stderr, "%6.1f%% %10llu %12llu %12llu %12llu %12llu  %s\n", share,
                     static_cast<unsigned long long>(r->calls), static_cast<unsigned long long>(r->selfSteps),
                     static_cast<unsigned long long>(r->inclSteps), static_cast<unsigned long long>(r->selfCells),
                     static_cast<unsigned long long>(r->inclCells), r->name.c_str());
    }
}

}  // namespace

void startProfileIfWanted() {
    static bool read = false;
    if (read) return;
    read = true;
    const char* e = std::getenv("KILN_PROFILE");
    if (!e || !*e) return;
    gProfile = new Profile;
    gProfile->bySteps = std::strcmp(e, "steps") == 0;
    gProfile->rows.push_back(Row{"[main]"});
    gProfile->rows[0].calls = 1;
    setCellCounting(true);
    gProfile->steps = stepsNow();
    gProfile->cells = cellsNow();
    gProfile->time = gProfile->bySteps ? 0 : nowNs();
    gProfiling = true;
    std::atexit(printProfile);
}

int profileRow(const std::string& name) {
    auto [it, fresh] = gProfile->index.try_emplace(name, static_cast<int>(gProfile->rows.size()));
    if (fresh) gProfile->rows.push_back(Row{name});
    return it->second;
}

void profileEnter(int row) {
    charge();
    gProfile->frames.push_back(Frame{row, gProfile->current});
    gProfile->current = row;
    begin(row);
}

void profileTail(int row) {
    charge();
    if (gProfile->frames.empty()) return profileEnter(row);
    Frame& f = gProfile->frames.back();
    end(f.row);
    f.row = row;
    gProfile->current = row;
    begin(row);
}

void profileLeave() {
    charge();
    if (gProfile->frames.empty()) return;
    Frame f = gProfile->frames.back();
    gProfile->frames.pop_back();
    end(f.row);
    gProfile->current = f.previous;
}

void profileGraphCall(int row) {
    charge();
    gProfile->current = row;
    ++gProfile->rows[row].calls;
}

size_t profileDepth() { return gProfile->frames.size(); }

void profileUnwind(size_t depth) {
    while (gProfile->frames.size() > depth) profileLeave();
}

void profileResume() {
    if (gProfile->frames.empty()) return;
    charge();
    gProfile->current = gProfile->frames.back().row;
}

}  // namespace kiln::reduce
