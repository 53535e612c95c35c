#include "compile/compiler.h"

#include <map>
#include <string_view>

#include "compile/funky.h"
#include "compile/layout.h"
#include "compile/namelist.h"
#include "compile/patterns.h"
#include "compile/printer.h"
#include "compile/quoting.h"
#include "compile/renaming.h"
#include "compile/sharing.h"

namespace kiln {

namespace {

const char kDebugLog[] = "/tmp/redv.log";
constexpr size_t kLetters = 26;
constexpr int kMaxParameters = 10;

bool isStructuralKey(std::string_view key) { return key == "\\" || key == "{"; }

void failWith(ErrorRecord& record, std::string type, std::string name, std::string message) {
    record = ErrorRecord();
    record.type = std::move(type);
    record.name = std::move(name);
    record.message = std::move(message);
}

template <typename Rewrite>
void rewriteBodies(DefinitionTable& defs, Rewrite rewrite) {
    for (auto& [name, body] : defs) body = rewrite(std::move(body));
}

// The combinators the evaluator and the builtins build while a program runs:
// truth values and comparison results (K, H), the unit value (I), the
// undefined value (Z), pairs (V), bit chains of numerals (J), tagged texts
// (X), the frames of the step loop (B, T). A program may redefine them, so
// their bodies are as reachable as anything the main expression names.
constexpr const char* kBuiltAtRunTime[] = {"B", "H", "I", "J", "K", "T", "V", "X", "Z"};

// Phase 4: every name reachable from the main definition, or from the
// combinators built at run time, is defined. The main definition's names are
// examined first, so its findings are reported before theirs.
bool checkAlive(const DefinitionTable& defs, ErrorRecord& record) {
    std::set<std::string, std::less<>> visited;
    std::map<std::string, std::string, std::less<>> pending;
    auto walk = [&] {
        while (!pending.empty()) {
            auto first = pending.begin();
            std::string name = first->first;
            std::string referrer = first->second.empty() ? "TOP" : displayForm(first->second);
            pending.erase(first);
            visited.insert(name);
            auto it = defs.find(name);
            if (it == defs.end()) {
                std::string shown = displayForm(name);
                failWith(record, "Alive", shown,
                         "Variable [" + shown + "] occurs in function [" + referrer + "] but is not defined.");
                return false;
            }
            NameList names = globalNamesOf(it->second);
            for (const Cell* c = names.get(); rawIsPair(c); c = rawRight(c)) {
                std::string_view m = atomText(rawLeft(c));
                if (!visited.count(m)) pending.insert_or_assign(std::string(m), name);
            }
        }
        return true;
    };
    pending.emplace("", "nowhere");
    if (!walk()) return false;
    for (const char* root : kBuiltAtRunTime)
        if (!visited.count(std::string_view(root))) pending.emplace(root, "nowhere");
    return walk();
}

// The body of a structural key whose placeholder named a pruned definition:
// the same leading lambdas over its first parameter.
CellRef bareStructuralBody(int lambdas) {
    const char letters[] = "abcdefghijklmnopqrstuvwxyz";
    CellRef body = makeAtom("a");
    for (int i = lambdas; i-- > 0;) body = makePair(makePair(makeAtom("\\"), makeAtom(std::string(1, letters[i]))), body);
    return body;
}

// Phase 5: definitions that cannot work are removed.
void pruneBroken(DefinitionTable& defs) {
    std::set<std::string> broken = brokenDefinitions(defs);
    KILN_ASSERT(!broken.count(""));
    for (const std::string& name : broken) defs.erase(name);
    for (const char* key : {"\\", "{"}) {
        auto it = defs.find(std::string_view(key));
        if (it == defs.end()) continue;
        NameList names = globalNamesOf(it->second);
        for (const Cell* c = names.get(); rawIsPair(c); c = rawRight(c)) {
            if (!defs.count(atomText(rawLeft(c)))) {
                it->second = bareStructuralBody(leadingLambdas(it->second.get()));
                break;
            }
        }
    }
}

// Phase 6: every bound name gets one of the 26 letters.
bool placeVariables(DefinitionTable& defs, ErrorRecord& record) {
    for (auto& [name, body] : defs) {
        NameList longNames = boundLongNames(body);
        NameList letters = boundLetters(body);
        if (!nameListEmpty(longNames)) appendToFile(kDebugLog, "First " + name + ": " + showCell(body) + "\n");
        if (nameListLength(longNames) + nameListLength(letters) > kLetters) {
            std::string shown = displayForm(name);
            failWith(record, "Place", shown, name.empty() ? "Place error." : "Place error in function " + shown + ".");
            return false;
        }
        if (!nameListEmpty(longNames)) body = renameLongBinders(std::move(body), longNames, std::move(letters));
    }
    return true;
}

// Phase 7: at most ten parameters.
bool checkArity(const DefinitionTable& defs, ErrorRecord& record) {
    for (const auto& [name, body] : defs) {
        if (leadingLambdas(body.get()) > kMaxParameters) {
            std::string shown = displayForm(name);
            failWith(record, "Arity", shown, "Arity of function " + shown + " may not exceed ten.");
            return false;
        }
    }
    return true;
}

// Phase 8: equal subgraphs of all bodies become one cell.
void shareBodies(DefinitionTable& defs) {
    SharedExpressionTable& table = SharedExpressionTable::instance();
    table.clear();
    rewriteBodies(defs, [](CellRef body) { return shareExpressions(std::move(body)); });
    table.keepNormalForms();
}

// Phase 9: every binder binds a name.
bool checkBinderKeys(const DefinitionTable& defs, ErrorRecord& record) {
    for (const auto& [name, body] : defs) {
        CellRef funky = findFunkyKey(body);
        if (isAtom(funky)) continue;
        std::string shown = displayForm(showCell(funky));
        failWith(record, "Funky", "",
                 name.empty() ? "Funky key in expression " + shown + "."
                              : "Funky key in expression " + shown + " in function " + displayForm(name) + ".");
        return false;
    }
    return true;
}

// Phase 10: no letter occurs unbound.
bool checkLocals(const DefinitionTable& defs, ErrorRecord& record) {
    for (const auto& [name, body] : defs) {
        uint32_t mask = freeVariables(body);
        if (mask == 0) continue;
        std::string letter(1, static_cast<char>('a' + __builtin_ctz(mask)));
        std::string shown = displayForm(name);
        failWith(record, "Local", shown,
                 name.empty() ? "Local variable " + letter + " unbound."
                              : "Local variable " + letter + " unbound in function [" + shown + "].");
        return false;
    }
    return true;
}

}  // namespace

int leadingLambdas(const Cell* body) {
    int count = 0;
    while (rawIsPair(body) && rawIsPair(rawLeft(body)) && rawFirst(rawLeft(rawLeft(body))) == '\\') {
        ++count;
        body = rawRight(body);
    }
    return count;
}

std::set<std::string> brokenDefinitions(const DefinitionTable& table) {
    std::multimap<std::string, std::string, std::less<>> uses;
    std::set<std::string> frontier;
    for (const auto& [name, body] : table) {
        if (isStructuralKey(name)) continue;
        NameList names = globalNamesOf(body);
        for (const Cell* c = names.get(); rawIsPair(c); c = rawRight(c)) {
            std::string_view m = atomText(rawLeft(c));
            uses.emplace(std::string(m), name);
            if (!table.count(m)) frontier.insert(name);
        }
    }
    std::set<std::string> broken;
    while (!frontier.empty()) {
        std::set<std::string> next;
        for (const std::string& y : frontier) {
            broken.insert(y);
            auto [from, to] = uses.equal_range(y);
            for (auto it = from; it != to; ++it) {
                if (broken.insert(it->second).second) next.insert(it->second);
            }
        }
        frontier = std::move(next);
    }
    return broken;
}

ErrorRecord& compileDefinitions(ErrorRecord& record) {
    DefinitionTable& defs = definitionTable();
    defs["_"] = makeLayoutTable();
    rewriteBodies(defs, [](CellRef body) { return quoteExpressions(std::move(body)); });
    rewriteBodies(defs, [](CellRef body) { return expandPairPatterns(std::move(body)); });
    if (!checkAlive(defs, record)) return record;
    pruneBroken(defs);
    if (!placeVariables(defs, record)) return record;
    if (!checkArity(defs, record)) return record;
    shareBodies(defs);
    if (!checkBinderKeys(defs, record)) return record;
    if (!checkLocals(defs, record)) return record;
    record = ErrorRecord();
    return record;
}

}  // namespace kiln
