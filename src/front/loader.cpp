#include "front/loader.h"

#include "front/lexer.h"
#include "front/names.h"
#include "front/parser.h"

namespace kiln {

namespace {

struct PreludeRow {
    const char* name;
    const char* parameters;  // one letter each
    const char* body;
};

// The combinators, the structural keys and the operators, in load order.
constexpr PreludeRow kPrelude[] = {
    {"A", "a", "aS BKK"},
    {"B", "abc", "a b(c)"},
    {"C", "abc", "a c b"},
    {"D", "abcd", "a b c(d)"},
    {"E", "abcde", "a b c(d)e"},
    {"F", "ab", "Vb a"},
    {"G", "a", "VZ BW(BC)DDV(V XJ)"},
    {"H", "a", "I"},
    {"I", "a", "a"},
    {"J", "abc", "Va b"},
    {"K", "ab", "a"},
    {"L", "a", "aK K(KH)"},
    {"M", "a", "a a"},
    {"N", "a", "K"},
    {"O", "ab", "b a(b)"},
    {"P", "a", "a XS I"},
    {"Q", "a", "aZK"},
    {"R", "a", "aZH"},
    {"U", "ab", "Ua"},
    {"S", "abc", "a c b(c)"},
    {"T", "ab", "b a"},
    {"V", "abc", "c a b"},
    {"W", "ab", "a b b"},
    {"Z", "a", "Z"},
    {"X", "abcd", "Vb a(d)c"},
    {"Y", "ab", "a Ya b"},
    {"[\\]", "abc", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
    {"[{]", "abc", "Z"},
    {"[&]", "qr", "q r H"},
    {"[|]", "qr", "qKr"},
    {"[!]", "", "VHK"},
    {"[+]", "", "plus"},
    {"[-]", "", "dash"},
    {"[*]", "", "mult"},
    {"[/]", "", "over"},
    {"[%]", "", "cent"},
    {"[^]", "", "powa"},
    {"[<]", "", "less"},
    {"[>]", "", "gteq"},
    {"[=]", "", "same"},
    {"[#]", "", "diff"},
    {"[$]", "", "buck"},
    {"[~]", "", "wave"},
    {"[.]", "", "T"},
    {"[@]", "", "T"},
    {"[:]", "", "I"},
    {"[?]", "", "I"},
    {"[;]", "", "I"},
    {"[']", "", "I"},
    {"[\"]", "", "I"},
    {"[,]", "", "I"},
};

// The lambda ((\ x) body) of a definition piece, taken apart; the parameter
// is borrowed from the piece's tree.
struct Lambda {
    const Cell* parameter = nullptr;
    CellRef body;
};

bool asLambda(const CellRef& d, Lambda& out) {
    if (!isPair(d)) return false;
    const Cell* f = rawLeft(d.get());
    if (!rawIsPair(f) || !rawIsAtom(rawLeft(f)) || atomText(rawLeft(f)) != "\\") return false;
    out.parameter = rawRight(f);
    out.body = right(d);
    return true;
}

bool isAtomText(const Cell* c, std::string_view text) { return rawIsAtom(c) && atomText(c) == text; }

void reportMalformed(ErrorRecord& record, int64_t position) {
    record.type = "Comma";
    record.position = position;
    record.message = errorText("Comma", position, kCommaMessage);
}

// Step 6 of loading: a definition piece's tree into the tables. Answers
// false after a definition of a protected key, with the record filled.
bool enterDefinition(ErrorRecord& record, const CellRef& d, size_t separator, DefinitionTable& table,
                     NameSet& nullary) {
    Lambda lambda;
    if (!asLambda(d, lambda)) return true;
    const Cell* x = lambda.parameter;
    bool isNullary = false;
    std::string_view name;
    if (rawIsAtom(x)) {
        name = atomText(x);
    } else if (isAtomText(rawRight(x), "}") && rawIsAtom(rawLeft(x))) {
        name = atomText(rawLeft(x));
        isNullary = true;
    } else {
        return true;
    }
    if (!isName(name)) return true;
    std::string key = keyOf(name);
    if (key == "\\" || key == "{") {
        record.type = "Built";
        record.position = static_cast<int64_t>(separator) + 1;
        record.message = "Built in function [" + key + "] cannot be re-defined.";
        return false;
    }
    if (isNullary) {
        table[key] = apply(makeAtom("I"), std::move(lambda.body));
        nullary.insert(std::move(key));
    } else {
        table[key] = std::move(lambda.body);
        nullary.erase(key);
    }
    return true;
}

void enterBuiltinPlaceholders(DefinitionTable& table) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz";
    for (const auto& [name, entry] : builtinTable()) {
        CellRef body = makeAtom("Z");
        for (int i = entry.arity; i-- > 0;)
            body = apply(apply(makeAtom("\\"), makeAtom(std::string_view(kLetters + i, 1))), std::move(body));
        table[name] = std::move(body);
    }
}

}  // namespace

const std::string& preludeText() {
    static const std::string text = [] {
        std::string t;
        for (const PreludeRow& row : kPrelude) {
            (t += ',') += row.name;
            t += '\\';
            for (const char* p = row.parameters; *p; ++p) (t += *p) += '\\';
            t += row.body;
        }
        return t;
    }();
    return text;
}

void resetFrontEnd() {
    resetDefinitions();
    clearBuiltinTable();
}

BuiltinTable& loadPrelude() {
    resetFrontEnd();
    DefinitionTable& table = definitionTable();
    BuiltinTable& builtins = builtinTable();
    std::string text = normalizeSpacing(preludeText());
    Parser parser(text);
    SeparatorList list = splitTopLevel(parser.brackets(), parser.whole(), ",");
    while (!list.empty()) {
        CellRef d = parser.expression(popFrontPiece(list));
        Lambda lambda;  // borrows from d
        if (!asLambda(d, lambda) || !rawIsAtom(lambda.parameter))
            assertionFailed("l", __LINE__);
        std::string_view name = atomText(lambda.parameter);
        if (!isName(name)) assertionFailed("l", __LINE__);
        table[keyOf(name)] = std::move(lambda.body);
    }
    if (parser.failed()) assertionFailed("l", __LINE__);
    return builtins;
}

void enterProgramText(ErrorRecord& record, std::string_view text, DefinitionTable& table, NameSet& nullary) {
    Parser parser(text);
    SeparatorList list = splitTopLevel(parser.brackets(), parser.whole(), ",");
    CellRef main = parser.expression(headPiece(list));
    if (parser.failed()) return reportMalformed(record, parser.failurePosition());
    table[""] = std::move(main);
    while (!list.empty()) {
        size_t separator = list.front();
        CellRef d = parser.expression(popFrontPiece(list));
        if (parser.failed()) return reportMalformed(record, parser.failurePosition());
        if (!enterDefinition(record, d, separator, table, nullary)) return;
    }
}

void loadDefinitions(ErrorRecord& record, std::string text) {
    record = ErrorRecord();
    std::string error;
    int64_t position = -1;
    if (!checkBrackets(text, error, position)) {
        record.position = position;
        record.type = error.substr(0, 5);
        record.message = std::move(error);
        return;
    }
    enterBuiltinPlaceholders(definitionTable());
    text = normalizeSpacing(text);
    enterProgramText(record, text, definitionTable(), nullaryNames());
}

}  // namespace kiln
