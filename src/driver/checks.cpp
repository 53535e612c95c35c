#include "driver/checks.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "cells/values.h"
#include "compile/compiler.h"
#include "driver/hints.h"
#include "driver/report.h"
#include "driver/stages.h"
#include "front/loader.h"
#include "front/parseview.h"
#include "numbers/numbers.h"
#include "reduce/trace.h"

namespace kiln {

namespace {

void writeLine(const std::string& line) {
    std::fflush(stdout);  // what the program wrote comes first
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

// Source text for a one-line message: each run of whitespace one space,
// bytes outside 32-126 as '?', cut at `limit` bytes with "...".
std::string oneLine(std::string_view text, size_t limit = 60) {
    std::string out;
    for (char c : text) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b == ' ' || b == '\n' || b == '\t' || b == '\r') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += b >= 32 && b <= 126 ? c : '?';
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.size() > limit) out = out.substr(0, limit - 3) + "...";
    return out;
}

std::string place(std::string_view name, std::string_view text, size_t pos) {
    return std::string(name) + ":" + lineColumn(text, pos) + ": ";
}

std::string spacingWarning(std::string_view name, std::string_view text, const SpacedOperand& s) {
    std::string operand = oneLine(text.substr(s.begin, s.end - s.begin));
    std::string whole = oneLine(text.substr(s.application, s.end - s.application), 1000);
    std::string before = oneLine(text.substr(s.application, s.begin - s.application), 1000);
    std::string what;
    if (s.function) {
        // The whole application, which goes on after the function.
        std::string_view rest = text.substr(s.end);
        size_t stop = 0;
        while (stop < rest.size() && rest[stop] != ',' && rest[stop] != '\n' && rest[stop] != ')' && stop < 40) ++stop;
        std::string after = oneLine(rest.substr(0, stop), 1000);
        what = "`" + operand + " " + after + "` applies `(" + operand + ")` to what follows";
    } else if (whole.size() <= 60) {
        what = "`" + whole + "` reads as `" + before + " (" + operand + ")`";
    } else {
        what = "the argument `" + operand + "` reads as `(" + operand + ")`";
    }
    return place(name, text, s.begin) + "warning: " + what + ": a space binds looser than `" + s.op +
           "`; put brackets around what belongs together\n";
}

// ---- the number builtins' traps -----------------------------------------

std::string gName;
std::string gText;
std::set<std::string> gWarned;

const char* kindName(char cls) {
    switch (cls) {
        case 'a': return "a byte string";
        case 'e': return "a real";
        case 'i': return "an integer";
        case 'o': return "a fraction";
        case 'u': return "a text";
        default: return "a value";
    }
}

char operatorOf(std::string_view builtin) {
    if (builtin == "less") return '<';
    if (builtin == "gteq") return '>';
    if (builtin == "same") return '=';
    if (builtin == "diff") return '#';
    if (builtin == "over") return '/';
    return '%';
}

bool wordByte(char c) { return c == '_' || (c >= 'a' && c <= 'z'); }

// The first use of the operator or the builtin's name in [from, to),
// outside bracketed literals; npos when there is none.
size_t useWithin(std::string_view t, char op, std::string_view word, size_t from, size_t to) {
    int square = 0;
    for (size_t i = from; i < to && i < t.size(); ++i) {
        char c = t[i];
        if (c == '[') ++square;
        if (square > 0) {
            if (c == ']') --square;
            continue;
        }
        if (c == op) return i;
        if (t.compare(i, word.size(), word) == 0 && (i == 0 || !wordByte(t[i - 1])) &&
            (i + word.size() >= t.size() || !wordByte(t[i + word.size()])))
            return i;
    }
    return std::string::npos;
}

// Where the trap most likely stands: the operator in the definition
// entered last, else in the main expression, else that definition's start.
size_t trapPlace(std::string_view definition, char op, std::string_view builtin, std::string& where) {
    std::string_view t = gText;
    for (std::string_view key : {definition, std::string_view()}) {
        size_t start = definitionStart(t, key);
        if (start == std::string::npos) continue;
        size_t use = useWithin(t, op, builtin, start, pieceEnd(t, start));
        if (use == std::string::npos) continue;
        where = key.empty() ? "the main expression" : "the definition of " + std::string(key);
        return use;
    }
    size_t start = definitionStart(t, definition);
    where = definition.empty() ? "the main expression" : "the definition of " + std::string(definition);
    return start == std::string::npos ? 0 : start;
}

void onNumberTrap(NumberTrap trap, const char* builtin, Cell* x, Cell* y) {
    std::string_view definition = gCallState.definition ? std::string_view(*gCallState.definition) : "";
    char op = operatorOf(builtin);
    std::string where;
    size_t pos = trapPlace(definition, op, builtin, where);
    std::string key = std::to_string(pos) + ":" + builtin;
    if (!gWarned.insert(key).second) return;
    std::string what;
    if (trap == NumberTrap::MixedKinds) {
        what = std::string("`") + op + "` compared " + kindName(numberClass(x)) + " with " + kindName(numberClass(y)) +
               " in " + where;
        if (op == '=' || op == '#')
            what += ": values of different kinds are never equal (3 = real 3 is H)";
        else
            what += ": values of different kinds are ordered by kind, not by value (byte string < real < "
                    "integer < fraction < text, so 2 < real 3 is H)";
    } else if (op == '/') {
        what = "`/` divided by a negative number in " + where +
               ": the quotient rounds down (7 / 02 is 04) and `%` is not its remainder";
    } else {
        what = "`%` by a negative number in " + where +
               ": the remainder is never negative (7 % 03 is 2), so (a / b) * b + a % b is not a";
    }
    writeLine(place(gName, gText, pos) + "warning: " + what + "\n");
}

// The record loading fills for a text that does not parse.
ErrorRecord parseFailure(const ProgramView& view) {
    ErrorRecord record;
    record.position = view.errorPosition;
    record.type = view.error.substr(0, 5);
    record.message = view.error;
    return record;
}

}  // namespace

bool warningsWanted(bool asked) {
    if (asked) return true;
    const char* v = std::getenv("KILN_WARN");
    if (v) return *v != '\0' && std::string_view(v) != "0";
    return isatty(2) != 0;
}

void warnSpacing(std::string_view name, std::string_view text) {
    ProgramView view = viewProgram(text);
    std::string out;
    for (const SpacedOperand& s : view.spaced) out += spacingWarning(name, text, s);
    if (!out.empty()) writeLine(out);
}

void watchNumberTraps(std::string_view name, std::string_view text) {
    gName = std::string(name);
    gText = std::string(text);
    gWarned.clear();
    gNumberTrapWatcher = onNumberTrap;
}

std::string parsedLines(std::string_view text, std::string* error) {
    ProgramView view = viewProgram(text);
    if (view.parts.empty()) {
        if (error) *error = view.error;
        return "";
    }
    std::string out;
    for (size_t i = 0; i < view.parts.size(); ++i) {
        if (i > 0) out += ',';
        out += writtenForm(view.parts[i].tree.get());
        out += '\n';
    }
    return out;
}

int printParse(std::string_view name, std::string_view text, bool warn) {
    ProgramView view = viewProgram(text);
    if (view.parts.empty()) {
        printReport(parseFailure(view));
        return 255;
    }
    if (warn) warnSpacing(name, text);
    std::string out = parsedLines(text, nullptr);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

namespace {

// The report's one line: "NAME:LINE:COL: error: TYPE: message".
std::string errorLine(std::string_view name, std::string_view text, const ErrorRecord& record) {
    size_t line = 1, column = 1;
    if (!hintPlace(record, text, line, column)) line = column = 1;
    // "Match[____b]Right dangling..." says its place already.
    std::string message = record.message;
    if (message.size() > 12 && message.compare(0, 5, record.type) == 0 && message[5] == '[' && message[11] == ']')
        message = message.substr(12);
    if (!record.name.empty() && message.find(record.name) == std::string::npos)
        message = record.name + ": " + message;
    return std::string(name) + ":" + std::to_string(line) + ":" + std::to_string(column) + ": error: " +
           record.type + ": " + oneLine(colourize(message, false), 1000) + "\n";
}

// A name as the table keys it, from its display form (NUL and newline
// exchanged).
std::string keyOfShown(std::string_view shown) {
    std::string key(shown);
    for (char& c : key) c = c == '\n' ? '\0' : c == '\0' ? '\n' : c;
    return key;
}

constexpr int kMostReports = 20;

}  // namespace

int checkProgram(std::string_view name, std::string_view text) {
    warnSpacing(name, text);
    registerAllFamilies();
    // Checking stops at the first error; after an undefined name the check
    // runs again with that name defined as Z, so that every undefined name
    // is reported. Any other error ends the list.
    std::set<std::string> stubs;
    std::string out;
    int reports = 0;
    while (reports < kMostReports) {
        loadPrelude();
        ErrorRecord record;
        loadDefinitions(record, std::string(text));
        if (record.empty()) {
            for (const std::string& stub : stubs) definitionTable()[stub] = makeAtom("Z");
            compileDefinitions(record);
        }
        if (record.empty()) break;
        out += errorLine(name, text, record);
        ++reports;
        if (record.type != "Alive" || !stubs.insert(keyOfShown(record.name)).second) break;
    }
    if (!out.empty()) writeLine(out);
    return reports > 0 ? 255 : 0;
}

}  // namespace kiln
