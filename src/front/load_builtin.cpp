#include "front/load_builtin.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cells/integers.h"
#include "cells/values.h"
#include "compile/compiler.h"
#include "compile/funky.h"
#include "compile/namelist.h"
#include "compile/renaming.h"
#include "front/definitions.h"
#include "front/lexer.h"
#include "front/loader.h"
#include "front/names.h"
#include "front/parser.h"

namespace kiln {

namespace {

constexpr size_t kLetters = 26;
constexpr int kMaxParameters = 10;

// The loaded text's own tables, private to one call.
struct PrivateTables {
    DefinitionTable definitions;
    NameSet nullary;
};

// The joined text of a pair of texts (a text built with "-"): the inner
// texts of its literals, left to right. Annotation records the total length
// of a text below 2^26 bytes in its span; a longer one (or one built by
// doubling a text on itself) is not read, so the walk stays bounded.
bool joinedPairText(Cell* text, std::string& out) {
    if (rawSpan(text) < 2) return false;
    return forEachLeaf(text, [&](Cell* c) {
        if (rawFirst(c) == '[') out.append(innerText(c));
        return true;
    });
}

// The text a value stands for: a byte string's payload, a text's inner
// (joined) text, or the NUL-terminated bytes at an address. False for any
// other value (reals, binary fractions, the address 0).
bool sourceText(Cell* value, std::string_view& out, std::string& joined) {
    switch (numberClass(value)) {
        case 'a':
            out = byteStringPayload(value);
            return true;
        case 'u': {
            if (rawIsPair(value)) {
                if (!joinedPairText(value, joined)) return false;
                out = joined;
                return true;
            }
            std::string_view t = atomText(value);
            if (t.empty() || t[0] != '[') return false;
            out = innerText(value);
            return true;
        }
        case 'i': {
            const char* p = reinterpret_cast<const char*>(static_cast<intptr_t>(toInt64(value)));
            if (!p) return false;
            out = std::string_view(p, std::strlen(p));
            return true;
        }
        default:
            return false;
    }
}

// Bracket check, normalisation, splitting and parsing into the private
// tables. A bracket fault, a piece the parser cannot read and a definition of
// "\" or "{" all fail. A nullary definition is held without the wrapper
// (I body) the loader gives it until it is renamed: the wrapper's "I" is not
// a name the text uses.
bool enterText(std::string_view text, PrivateTables& tables) {
    std::string error;
    int64_t position = -1;
    if (!checkBrackets(text, error, position)) return false;
    ErrorRecord record;
    enterProgramText(record, normalizeSpacing(text), tables.definitions, tables.nullary);
    if (!record.empty() || !tables.definitions.count(std::string_view())) return false;
    for (const std::string& key : tables.nullary) {
        CellRef& body = tables.definitions.find(key)->second;
        body = right(body);
    }
    return true;
}

// Definitions that use a name the text does not define, to any depth, are
// dropped; the main expression must not be one of them.
bool dropBroken(DefinitionTable& defs) {
    std::set<std::string> broken = brokenDefinitions(defs);
    if (broken.count(std::string())) return false;
    for (const std::string& key : broken) defs.erase(key);
    return true;
}

// Long binders become letters; at most ten parameters (a nullary definition
// has none: its wrapper is no lambda); every binder binds a name.
bool placeAndCheckBinders(DefinitionTable& defs, const NameSet& nullary) {
    for (auto& [key, body] : defs) {
        NameList longNames = boundLongNames(body);
        NameList letters = boundLetters(body);
        if (nameListLength(longNames) + nameListLength(letters) > kLetters) return false;
        if (!nameListEmpty(longNames)) body = renameLongBinders(std::move(body), longNames, std::move(letters));
    }
    for (const auto& [key, body] : defs)
        if (!nullary.count(key) && leadingLambdas(body.get()) > kMaxParameters) return false;
    for (const auto& [key, body] : defs)
        if (!isAtom(findFunkyKey(body))) return false;
    return true;
}

// --- fresh keys -------------------------------------------------------------

using FreshKeys = std::map<std::string, std::string, std::less<>>;

uint64_t gLoadCount = 0;

// n in the letters a-z, most significant first ("a" for 0, "ba" for 26).
std::string letterNumeral(uint64_t n) {
    std::string s;
    do {
        s.insert(s.begin(), static_cast<char>('a' + n % 26));
        n /= 26;
    } while (n);
    return s;
}

// The suffix of a key inside a fresh key: "w_" + the key for a word, else
// "x_" + each byte as two letters a-p.
std::string keySuffix(std::string_view key) {
    if (isWord(key)) return "w_" + std::string(key);
    std::string s = "x_";
    for (unsigned char c : key) {
        s += static_cast<char>('a' + (c >> 4));
        s += static_cast<char>('a' + (c & 15));
    }
    return s;
}

// A fresh key for every definition but the main one; none of them is in the
// definition table.
FreshKeys freshKeys(const DefinitionTable& defs) {
    const DefinitionTable& table = definitionTable();
    for (;;) {
        std::string prefix = "_load" + letterNumeral(gLoadCount++) + "_";
        FreshKeys fresh;
        bool taken = false;
        for (const auto& [key, body] : defs) {
            if (key.empty()) continue;
            std::string k = prefix + keySuffix(key);
            if (table.count(k)) taken = true;
            fresh.emplace(key, std::move(k));
        }
        if (!taken) return fresh;
    }
}

// Every definition's references to the others, rewritten to the fresh keys.
// After the binder renaming no binder binds a key, so every occurrence of a
// key is a reference. False when a body names a key the text lacks (the
// pruning leaves none).
bool renameKeys(PrivateTables& tables, const FreshKeys& fresh, DefinitionTable& renamed) {
    DefinitionTable& defs = tables.definitions;
    for (auto& [key, body] : defs) {
        CellRef b = std::move(body);
        NameList names = globalNamesOf(b);
        for (const Cell* c = names.get(); rawIsPair(c); c = rawRight(c)) {
            auto it = fresh.find(atomText(rawLeft(c)));
            if (it == fresh.end()) return false;
            b = renameInScope(std::move(b), it->first, it->second);
        }
        if (tables.nullary.count(key)) b = apply(makeAtom("I"), std::move(b));
        renamed.emplace(key.empty() ? std::string() : fresh.find(key)->second, std::move(b));
    }
    return true;
}

// --- free variables ---------------------------------------------------------

// While the loaded bodies are annotated, their fresh keys are looked up in
// the private table; everything else in the definition table.
const DefinitionTable* gLoaded = nullptr;
bool gLookupMissed = false;

const Cell* lookupWithLoaded(std::string_view key) {
    if (gLoaded) {
        auto it = gLoaded->find(key);
        if (it != gLoaded->end()) return it->second.get();
    }
    if (const Cell* body = lookupDefinition(key)) return body;
    // The checks above leave no undefined name; should one slip through,
    // the text fails instead of the process.
    static Cell* standIn = makeAtom("Z").release();
    gLookupMissed = true;
    return standIn;
}

class LoadedLookup {
public:
    explicit LoadedLookup(const DefinitionTable& defs) {
        gLoaded = &defs;
        gLookupMissed = false;
        setDefinitionLookup(lookupWithLoaded);
    }
    ~LoadedLookup() {
        setDefinitionLookup(lookupDefinition);
        gLoaded = nullptr;
    }
    LoadedLookup(const LoadedLookup&) = delete;
    LoadedLookup& operator=(const LoadedLookup&) = delete;
};

bool noFreeVariables(const DefinitionTable& defs) {
    LoadedLookup lookup(defs);
    for (const auto& [key, body] : defs)
        if (freeVariables(body) != 0 || gLookupMissed) return false;
    return true;
}

// --- keeping what the main expression needs --------------------------------

void keepReachable(const CellRef& main, DefinitionTable& defs, const NameSet& nullaryFresh) {
    DefinitionTable& table = definitionTable();
    std::vector<CellRef> pending{main};
    while (!pending.empty()) {
        CellRef body = std::move(pending.back());
        pending.pop_back();
        NameList names = globalNamesOf(body);
        for (const Cell* c = names.get(); rawIsPair(c); c = rawRight(c)) {
            auto it = defs.find(atomText(rawLeft(c)));
            if (it == defs.end() || table.count(it->first)) continue;
            table.emplace(it->first, it->second);
            if (nullaryFresh.count(it->first)) nullaryNames().insert(it->first);
            pending.push_back(it->second);
        }
    }
}

}  // namespace

CellRef loadSourceText(std::string_view text) {
    PrivateTables tables;
    if (!enterText(text, tables)) return CellRef();
    DefinitionTable& defs = tables.definitions;
    if (!dropBroken(defs) || !placeAndCheckBinders(defs, tables.nullary)) return CellRef();
    FreshKeys fresh = freshKeys(defs);
    DefinitionTable renamed;
    if (!renameKeys(tables, fresh, renamed) || !noFreeVariables(renamed)) return CellRef();
    CellRef main = renamed.find(std::string_view())->second;
    auto underscore = fresh.find(std::string_view("_"));
    if (underscore != fresh.end()) main = renamed.find(underscore->second)->second;
    NameSet nullaryFresh;
    for (const std::string& key : tables.nullary) {
        auto it = fresh.find(key);
        if (it != fresh.end()) nullaryFresh.insert(it->second);
    }
    keepReachable(main, renamed, nullaryFresh);
    return main;
}

CellRef loadBuiltin(CellRef app) {
    Cell* argument = nullptr;
    spineArguments(app.get(), 1, &argument);
    std::string_view text;
    std::string joined;
    if (!sourceText(argument, text, joined)) return makeAtom("Z");
    CellRef main = loadSourceText(text);
    if (!main) return makeAtom("Z");
    return apply(makeAtom("I"), std::move(main));
}

void registerLoad(Registry& registry) { registry.bind("load", 1, loadBuiltin); }

}  // namespace kiln
