// The profile per definition: a stack of running activations beside the
// evaluators' own, charged with the steps, cells and time spent while each
// is on top (reduce/profile.h; what inclusive means: docs/design/engine.md).
#include "reduce/profile.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "reduce/machine.h"

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace kiln::reduce {

bool gProfiling = false;

namespace {

bool gTimes = true;

inline uint64_t ticks() {
#if defined(__x86_64__)
    return __rdtsc();
#else
    return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

// What one definition (or lambda, or the main expression) has cost.
struct Row {
    std::string name;
    uint64_t calls = 0;
    uint64_t selfSteps = 0, inclSteps = 0;
    uint64_t selfCells = 0, inclCells = 0;
    uint64_t selfTicks = 0, inclTicks = 0;
    // Activations of it now running; the inclusive counts run from the
    // outermost one's start, so a recursion is counted once.
    uint64_t active = 0;
    uint64_t startSteps = 0, startCells = 0, startTicks = 0;
};

// A running activation: whose, and the continuation its value goes to.
struct Entry {
    uint32_t row;
    size_t depth;
    const Cell* k;
};

std::vector<Row> gRows;
std::vector<Entry> gStack;  // gStack[0] is the main expression's, for good
size_t gBase = 1;           // the running evaluation's first entry
uint64_t gMarkSteps = 0, gMarkCells = 0, gMarkTicks = 0;
std::chrono::steady_clock::time_point gStartTime;
bool gStarted = false;
bool gEvaluating = false;

std::unordered_map<const Resolution*, std::pair<uint64_t, uint32_t>> gDefinitionRows;  // epoch, row
std::unordered_map<std::string, uint32_t> gRowsByName;
// By the lambda of the definitions a lambda value is or was made from, or
// else by its (\ p) cell, which lambdas over the same letter may share.
std::unordered_map<const Cell*, uint32_t> gLambdaRows;
std::unordered_map<const Cell*, std::string> gLambdaNames;
size_t gIndexedDefinitions = static_cast<size_t>(-1);
uint64_t gIndexedEpoch = 0;

uint32_t rowNamed(const std::string& name) {
    auto it = gRowsByName.find(name);
    if (it != gRowsByName.end()) return it->second;
    uint32_t id = static_cast<uint32_t>(gRows.size());
    gRows.emplace_back();
    gRows.back().name = name;
    gRowsByName.emplace(name, id);
    return id;
}

// Charges what was spent since the last mark to the activation on top.
void charge() {
    uint64_t s = gStats.steps, c = cellStats().allocated, t = ticks();
    Row& r = gRows[gStack.back().row];
    r.selfSteps += s - gMarkSteps;
    r.selfCells += c - gMarkCells;
    r.selfTicks += t - gMarkTicks;
    gMarkSteps = s;
    gMarkCells = c;
    gMarkTicks = t;
}

void push(uint32_t row, const Cell* k, size_t depth) {
    charge();
    Row& r = gRows[row];
    ++r.calls;
    if (r.active++ == 0) {
        r.startSteps = gMarkSteps;
        r.startCells = gMarkCells;
        r.startTicks = gMarkTicks;
    }
    gStack.push_back(Entry{row, depth, k});
}

// Ends the top activation; what it spent is charged already.
void pop() {
    Row& r = gRows[gStack.back().row];
    if (--r.active == 0) {
        r.inclSteps += gMarkSteps - r.startSteps;
        r.inclCells += gMarkCells - r.startCells;
        r.inclTicks += gMarkTicks - r.startTicks;
    }
    gStack.pop_back();
}

void enterRow(uint32_t row, bool tail, const Cell* k, size_t depth) {
    if (gStack.size() > gBase) {
        Entry& top = gStack.back();
        if (tail || (top.k == k && top.depth == depth)) {
            // A tail call: the running activation is replaced.
            Entry e = top;
            charge();
            pop();
            push(row, e.k, e.depth);
            return;
        }
    }
    push(row, k, depth);
}

// The lambdas of every definition by their cell and by their (\ p) cell:
// the definition's name, the letter and the place among the body's
// lambdas, left to right (the definition's own parameters are not
// counted).
void indexLambdas() {
    DefinitionTable& defs = definitionTable();
    gIndexedDefinitions = defs.size();
    gIndexedEpoch = definitionsEpoch();
    gLambdaNames.clear();
    std::unordered_set<const Cell*> seen;
    std::vector<const Cell*> work;
    for (auto& [key, body] : defs) {
        const Cell* b = body.get();
        std::string owner = key.empty() ? "[main]" : key;
        // The main expression's own lambda is the main expression's entry.
        for (; b && shapeOf(const_cast<Cell*>(b)) == 'u'; b = rawRight(b))
            if (key.empty()) {
                gLambdaNames.emplace(b, owner);
                gLambdaNames.emplace(rawLeft(b), owner);
            }
        if (!b) continue;
        int count = 0;
        work.assign(1, b);
        while (!work.empty()) {
            const Cell* c = work.back();
            work.pop_back();
            if (!rawIsPair(c) || !seen.insert(c).second) continue;
            if (shapeOf(const_cast<Cell*>(c)) == 'u') {
                const Cell* lp = rawLeft(c);
                const Cell* p = rawRight(lp);
                std::string letter = rawIsAtom(p) ? std::string(rawText(p)) : "?";
                std::string name = owner + " \\" + letter + "#" + std::to_string(++count);
                gLambdaNames.emplace(c, name);
                gLambdaNames.emplace(lp, std::move(name));
            }
            work.push_back(rawRight(c));
            work.push_back(rawLeft(c));
        }
    }
}

// The name of a lambda of the definitions, by its cell or its (\ p) cell.
std::string lambdaName(const Cell* key) {
    auto it = gLambdaNames.find(key);
    if (it == gLambdaNames.end() &&
        (definitionTable().size() != gIndexedDefinitions || definitionsEpoch() != gIndexedEpoch)) {
        indexLambdas();
        it = gLambdaNames.find(key);
    }
    return it == gLambdaNames.end() ? std::string("[lambda]") : it->second;
}

// Ends the entries of the running evaluation from the top while keep says no.
template <class F>
void popWhile(F end) {
    bool charged = false;
    while (gStack.size() > gBase && end(gStack.back())) {
        if (!charged) charge();
        charged = true;
        pop();
    }
}

std::string percent(uint64_t part, uint64_t whole) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f%%", whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
    return buf;
}

}  // namespace

void profileCallSlow(const Resolution* r, bool tail, const Cell* k, size_t depth) {
    if (!r->recorded && !r->name.empty()) return;  // the prelude's capitals and operators count as their caller's
    auto it = gDefinitionRows.find(r);
    uint32_t row;
    if (it != gDefinitionRows.end() && it->second.first == r->epoch) {
        row = it->second.second;
    } else {
        row = rowNamed(r->name.empty() ? std::string("[main]") : r->name);
        gDefinitionRows[r] = {r->epoch, row};
    }
    enterRow(row, tail, k, depth);
}

void profileLambdaSlow(const Cell* application, const Cell* k, size_t depth) {
    Cell* lam = rawLeft(application);
    const Cell* lp = sourceLambda(lam);
    if (!lp) lp = rawLeft(lam);
    auto it = gLambdaRows.find(lp);
    uint32_t row;
    if (it != gLambdaRows.end() && gIndexedEpoch == definitionsEpoch()) {
        row = it->second;
    } else {
        row = rowNamed(lambdaName(lp));
        gLambdaRows[lp] = row;
    }
    enterRow(row, false, k, depth);
}

void profileReturnSlow(const Cell* frame, size_t depth) {
    popWhile([&](const Entry& e) { return e.depth > depth || (e.k == frame && e.depth == depth); });
}

void profileDeliveredSlow(size_t depth) {
    popWhile([&](const Entry& e) { return e.depth >= depth; });
}

void profileTakenSlow(const Cell* top, int frames) {
    const Cell* kc = top;
    for (int i = 0; i < frames && rawIsPair(kc) && rawIsPair(rawLeft(kc)); ++i) {
        popWhile([&](const Entry& e) { return e.k == kc; });
        kc = rawRight(rawLeft(kc));
    }
}

size_t profileOpen() {
    if (!gEvaluating) {
        // Loading the program is not the program's work: counting starts
        // with the first evaluation.
        gEvaluating = true;
        gMarkSteps = gStats.steps;
        gMarkCells = cellStats().allocated;
        gMarkTicks = ticks();
        gStartTime = std::chrono::steady_clock::now();
        gRows[0].startSteps = gMarkSteps;
        gRows[0].startCells = gMarkCells;
        gRows[0].startTicks = gMarkTicks;
    }
    size_t base = gBase;
    gBase = gStack.size();
    return base;
}

void profileClose(size_t base) {
    popWhile([](const Entry&) { return true; });
    gBase = base;
}

}  // namespace kiln::reduce

namespace kiln {

using namespace reduce;

int profileModeOf(const char* value) {
    if (!value || !*value || std::strcmp(value, "0") == 0) return 0;
    return std::strcmp(value, "steps") == 0 ? 2 : 1;
}

void startProfile(bool times) {
    if (gStarted) return;
    gStarted = true;
    gTimes = times;
    setCellCounting(true);
    gStartTime = std::chrono::steady_clock::now();
    gMarkSteps = gStats.steps;
    gMarkCells = cellStats().allocated;
    gMarkTicks = ticks();
    uint32_t main = rowNamed("[main]");
    gRows[main].active = 1;
    gRows[main].startSteps = gMarkSteps;
    gRows[main].startCells = gMarkCells;
    gRows[main].startTicks = gMarkTicks;
    gStack.push_back(Entry{main, 0, nullptr});
    gBase = 1;
    gProfiling = true;
}

void printProfile(std::FILE* out) {
    if (!gStarted) return;
    gProfiling = false;
    if (!gEvaluating) gMarkCells = cellStats().allocated, gRows[0].startCells = gMarkCells;
    // Whatever still runs (an error report, a stop, `exit`) ends here.
    charge();
    while (!gStack.empty()) pop();
    const Row& main = gRows[0];
    uint64_t steps = main.inclSteps, total = main.inclTicks;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - gStartTime).count();
    std::vector<const Row*> rows;
    for (const Row& r : gRows)
        if (r.calls || &r == &main) rows.push_back(&r);
    std::stable_sort(rows.begin(), rows.end(), [](const Row* a, const Row* b) {
        if (gTimes && a->selfTicks != b->selfTicks) return a->selfTicks > b->selfTicks;
        if (a->selfSteps != b->selfSteps) return a->selfSteps > b->selfSteps;
        return a->name < b->name;
    });
    std::string text = "kiln profile: " + std::to_string(steps) + " steps";
    if (gTimes) {
        char buf[48];
        std::snprintf(buf, sizeof buf, ", %.3f s", seconds);
        text += buf;
    }
    text += "\n";
    char line[256];
    if (gTimes)
        text += "   time    incl      calls   self steps   incl steps        cells  definition\n";
    else
        text += "     calls   self steps   incl steps        cells  definition\n";
    for (const Row* r : rows) {
        unsigned long long calls = r->calls, self = r->selfSteps, incl = r->inclSteps, cells = r->selfCells;
        if (gTimes)
            std::snprintf(line, sizeof line, "%7s %7s %10llu %12llu %12llu %12llu  ", percent(r->selfTicks, total).c_str(),
                          percent(r->inclTicks, total).c_str(), calls, self, incl, cells);
        else
            std::snprintf(line, sizeof line, "%10llu %12llu %12llu %12llu  ", calls, self, incl, cells);
        text += line;
        text += r->name;
        text += "\n";
    }
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

}  // namespace kiln
