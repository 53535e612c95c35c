// Head resolution: what a head atom means (a builtin, a definition, a
// literal's family, ...), found once per text and epoch; and the checks that
// the prelude's K, H, I, V and T are as the prelude defines them.
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "reduce/machine.h"
#include "reduce/trace.h"

namespace kiln::reduce {

namespace {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view t) const { return std::hash<std::string_view>()(t); }
};
using ResolutionMap = std::unordered_map<std::string, Resolution, TextHash, std::equal_to<>>;
ResolutionMap& resolutions() {
    static auto* m = new ResolutionMap;
    return *m;
}

// Whether a body is a builtin's placeholder: arity lambdas over a, b, c, ...
// around the atom Z. A program that defines a builtin's name replaces it.
bool isPlaceholder(const Cell* body, int arity) {
    for (int i = 0; i < arity; ++i) {
        if (shapeOf(body) != 'u') return false;
        const Cell* p = rawRight(rawLeft(body));
        if (!rawIsAtom(p) || rawText(p)[0] != 'a' + i || rawText(p)[1] != 0) return false;
        body = rawRight(body);
    }
    return atomIs(body, "Z");
}

// The number of leading lambdas of a body when each binds a letter and there
// are 1 to 10 of them; otherwise -1.
int leadingParameters(const Cell* body) {
    int n = 0;
    while (shapeOf(body) == 'u') {
        if (letterOf(rawRight(rawLeft(body))) < 0 || n == 10) return -1;
        ++n;
        body = rawRight(body);
    }
    return n == 0 ? -1 : n;
}

// Whether the definition's body, under its parameters, is one parameter
// applied to parameters: its data is then taken apart by contraction.
void findSelection(Resolution& r) {
    int index[26];
    std::fill(index, index + 26, -1);
    const Cell* body = r.entry->second.get();
    for (int i = 0; i < r.params; ++i) {
        index[letterOf(rawRight(rawLeft(body)))] = i;  // an inner one hides an outer
        body = rawRight(body);
    }
    const Cell* args[8];
    int n = 0;
    while (rawIsPair(body) && n < 8) {
        args[n++] = rawRight(body);
        body = rawLeft(body);
    }
    int head = letterOf(body);
    if (head < 0 || index[head] < 0) return;
    for (int i = 0; i < n; ++i) {
        int l = letterOf(args[i]);
        if (l < 0 || index[l] < 0) return;
        r.selectFrom[n - 1 - i] = static_cast<uint8_t>(index[l]);
    }
    r.select = static_cast<int8_t>(index[head]);
    r.selectArgs = static_cast<uint8_t>(n);
}

void fillResolution(Resolution& r, std::string_view text) {
    r = Resolution();
    r.epoch = definitionsEpoch();
    DefinitionTable& defs = definitionTable();
    unsigned char f = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    if (text == "\\") {
        r.kind = HeadKind::Lambda;
    } else if (text == "{") {
        r.kind = HeadKind::Binding;
    } else if (text == "BI") {
        r.kind = HeadKind::Wrapped;
    } else if (f == ']') {
        r.name = std::string(text.substr(1));
        r.entry = defs.find(r.name);
        r.kind = r.entry == defs.end() ? HeadKind::Unknown : HeadKind::Memo;
    } else {
        r.name = std::string(text);
        r.entry = defs.find(r.name);
        if (r.entry != defs.end()) {
            BuiltinTable& builtins = builtinTable();
            auto b = builtins.find(r.name);
            if (b != builtins.end() && isPlaceholder(r.entry->second.get(), b->second.arity)) {
                r.kind = HeadKind::Builtin;
                r.handler = b->second.handler;
                r.direct = b->second.direct;
                r.arity = b->second.arity;
            } else {
                r.kind = HeadKind::Defined;
                r.nullary = nullaryNames().count(r.name) != 0;
                r.recorded = recordedName(r.name);
                r.params = leadingParameters(r.entry->second.get());
                if (r.params > 0) findSelection(r);
            }
        }
    }
}

Resolution* resolveName(std::string_view text) {
    auto& m = resolutions();
    auto found = m.find(text);
    if (found != m.end()) {
        Resolution& r = found->second;
        if (r.epoch != definitionsEpoch()) fillResolution(r, text);
        return &r;
    }
    Resolution& r = m[std::string(text)];
    fillResolution(r, text);
    return &r;
}

// Resolutions for atoms that are not names are not cached by text.
Resolution makeKind(HeadKind kind) {
    Resolution r;
    r.kind = kind;
    return r;
}
Resolution gNumeral = makeKind(HeadKind::Numeral), gText = makeKind(HeadKind::Text),
           gBytes = makeKind(HeadKind::Bytes), gReal = makeKind(HeadKind::Real);

}  // namespace

Resolution* resolveAtom(Cell* head) {
    if (rawIsPair(head)) return &gText;  // a data pair
    void* cached = atomSlot(head);
    if (cached) {
        Resolution* r = static_cast<Resolution*>(cached);
        // Names are resolved again after the definition table was reset.
        if (r->epoch != 0 && r->epoch != definitionsEpoch()) fillResolution(*r, atomText(head));
        return r;
    }
    unsigned char f = rawFirst(head);
    Resolution* r;
    if (f >= '0' && f <= '9')
        r = &gNumeral;
    else if (f == '[')
        r = &gText;
    else if (f == '(')
        r = &gBytes;
    else if (f == ' ')
        r = &gReal;
    else
        r = resolveName(atomText(head));
    setAtomSlot(head, r);
    return r;
}

Resolution* resolveAlias(Cell* atom, Cell** reached) {
    for (int i = 0; i < 16; ++i) {
        Resolution* r = resolve(atom);
        if (r->kind == HeadKind::Defined && r->params < 0 && !r->nullary) {
            Cell* body = r->entry->second.get();
            if (rawIsAtom(body) && rawIsNormal(body)) {
                atom = body;
                continue;
            }
        }
        *reached = atom;
        return r;
    }
    return nullptr;
}

namespace {
bool isLetterLambda(const Cell* b, int* letter) {
    if (shapeOf(b) != 'u') return false;
    *letter = letterOf(rawRight(rawLeft(b)));
    return *letter >= 0;
}
bool identityBody(const Cell* b) {
    int a;
    return b && isLetterLambda(b, &a) && letterOf(rawRight(b)) == a;
}
}  // namespace

bool preludeTruth() {
    const Cell* i = lookupDefinition("I");
    const Cell* k = lookupDefinition("K");
    const Cell* h = lookupDefinition("H");
    int a, b;
    if (!identityBody(i) || !k || !h) return false;
    if (!isLetterLambda(k, &a) || !isLetterLambda(rawRight(k), &b) || a == b ||
        letterOf(rawRight(rawRight(k))) != a)
        return false;
    return isLetterLambda(h, &a) && atomIs(rawRight(h), "I");
}

bool preludePair() {
    const Cell* v = lookupDefinition("V");
    int a, b, c;
    if (!v || !isLetterLambda(v, &a) || !isLetterLambda(rawRight(v), &b) ||
        !isLetterLambda(rawRight(rawRight(v)), &c) || a == b || b == c || a == c)
        return false;
    const Cell* body = rawRight(rawRight(rawRight(v)));
    return rawIsPair(body) && rawIsPair(rawLeft(body)) && letterOf(rawLeft(rawLeft(body))) == c &&
           letterOf(rawRight(rawLeft(body))) == a && letterOf(rawRight(body)) == b;
}

bool isIdentityHead(Cell* atom) {
    if (!rawIsAtom(atom)) return false;
    Cell* reached;
    Resolution* r = resolveAlias(atom, &reached);
    return r && r->kind == HeadKind::Defined && r->params == 1 &&
           identityBody(r->entry->second.get());
}

Connectives preludeConnectives() {
    Connectives c;
    // & q r = q r H and | q r = q K r: ((s t) u) under two lambdas.
    auto binary = [](const char* key, Cell** s, Cell** t, Cell** u, int* a, int* b) {
        const Cell* d = lookupDefinition(key);
        if (!d || !isLetterLambda(d, a) || !isLetterLambda(rawRight(d), b) || *a == *b) return false;
        Cell* body = rawRight(rawRight(const_cast<Cell*>(d)));
        if (!rawIsPair(body) || !rawIsPair(rawLeft(body))) return false;
        *s = rawLeft(rawLeft(body));
        *t = rawRight(rawLeft(body));
        *u = rawRight(body);
        return true;
    };
    Cell *s, *t, *u;
    int a, b;
    if (binary("&", &s, &t, &u, &a, &b) && letterOf(s) == a && letterOf(t) == b && atomIs(u, "H"))
        c.andFalse = u;
    if (binary("|", &s, &t, &u, &a, &b) && letterOf(s) == a && atomIs(t, "K") && letterOf(u) == b)
        c.orTrue = t;
    // ! = V H K, with V as the prelude has it: ! p = p H K.
    Cell* n = const_cast<Cell*>(lookupDefinition("!"));
    if (n && nullaryNames().count("!") == 0 && preludePair() && rawIsPair(n) && rawIsPair(rawLeft(n)) &&
        atomIs(rawLeft(rawLeft(n)), "V") && atomIs(rawRight(rawLeft(n)), "H") && atomIs(rawRight(n), "K")) {
        c.notTrue = rawRight(rawLeft(n));
        c.notFalse = rawRight(n);
    }
    return c;
}

bool preludeCompose() {
    // Three lambdas over distinct letters a b c, and the body given them.
    auto three = [](const char* key, int* a, int* b, int* c) -> const Cell* {
        const Cell* d = lookupDefinition(key);
        if (!d || !isLetterLambda(d, a) || !isLetterLambda(rawRight(d), b) ||
            !isLetterLambda(rawRight(rawRight(d)), c) || *a == *b || *b == *c || *a == *c)
            return nullptr;
        return rawRight(rawRight(rawRight(d)));
    };
    int a, b, c;
    const Cell* body = three("B", &a, &b, &c);  // a (b c)
    if (!body || !rawIsPair(body) || letterOf(rawLeft(body)) != a || !rawIsPair(rawRight(body)) ||
        letterOf(rawLeft(rawRight(body))) != b || letterOf(rawRight(rawRight(body))) != c)
        return false;
    body = three("C", &a, &b, &c);  // a c b
    return body && rawIsPair(body) && rawIsPair(rawLeft(body)) && letterOf(rawLeft(rawLeft(body))) == a &&
           letterOf(rawRight(rawLeft(body))) == c && letterOf(rawRight(body)) == b;
}

bool preludeY() {
    // Y a b = a (Y a) b: two lambdas over distinct letters.
    const Cell* d = lookupDefinition("Y");
    int a, b;
    if (!d || !isLetterLambda(d, &a) || !isLetterLambda(rawRight(d), &b) || a == b) return false;
    const Cell* body = rawRight(rawRight(d));
    if (!rawIsPair(body) || letterOf(rawRight(body)) != b || !rawIsPair(rawLeft(body))) return false;
    const Cell* fa = rawLeft(body);
    const Cell* ya = rawRight(fa);
    return letterOf(rawLeft(fa)) == a && rawIsPair(ya) && atomIs(rawLeft(ya), "Y") && letterOf(rawRight(ya)) == a;
}

bool preludeT() {
    // T a b = b a, as the prelude defines it.
    const Cell* body = lookupDefinition("T");
    if (!body || shapeOf(body) != 'u') return false;
    const Cell* inner = rawRight(body);
    if (shapeOf(inner) != 'u') return false;
    const Cell* app = rawRight(inner);
    const Cell* a = rawRight(rawLeft(body));
    const Cell* b = rawRight(rawLeft(inner));
    return rawIsPair(app) && rawLeft(app) == b && rawRight(app) == a && letterOf(a) >= 0 &&
           letterOf(b) >= 0 && letterOf(a) != letterOf(b);
}

}  // namespace kiln::reduce
