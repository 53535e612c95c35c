#include "driver/hints.h"

#include <cstdint>
#include <cstdlib>

#include <vector>

#include "front/names.h"

namespace kiln {

namespace {

std::string gName;
std::string gText;

bool isSpace(char c) { return c == ' ' || c == '\n'; }
bool isWordByte(char c) { return c == '_' || (c >= 'a' && c <= 'z'); }

}  // namespace

size_t definitionStart(std::string_view t, std::string_view key) {
    size_t start = 0;
    while (start < t.size() && isSpace(t[start])) ++start;
    if (key.empty()) return start < t.size() ? start : std::string::npos;
    std::string written(key);
    if (key.size() == 1 && isOperatorCharacter(static_cast<unsigned char>(key[0]))) written = "[" + written + "]";
    size_t found = std::string::npos;
    for (size_t comma : scanTopLevel(t).commas) {
        size_t p = comma + 1;
        while (p < t.size() && isSpace(t[p])) ++p;
        if (t.substr(p, written.size()) != written) continue;
        size_t q = p + written.size();
        if (isWordByte(written.back()) && q < t.size() && isWordByte(t[q])) continue;
        while (q < t.size() && t[q] == ' ') ++q;
        if (q < t.size() && (t[q] == '\\' || t[q] == '{' || t[q] == '}')) found = p;
    }
    return found;
}

size_t pieceEnd(std::string_view t, size_t pos) {
    for (size_t comma : scanTopLevel(t).commas)
        if (comma > pos) return comma;
    return t.size();
}

namespace {

// The first use of the word inside [from, to), or npos.
size_t wordWithin(std::string_view t, std::string_view word, size_t from, size_t to) {
    if (word.empty()) return std::string::npos;
    for (size_t p = t.find(word, from); p != std::string::npos && p < to; p = t.find(word, p + 1)) {
        bool wordy = isWordByte(word.front());
        if (wordy && p > 0 && isWordByte(t[p - 1])) continue;
        if (wordy && p + word.size() < t.size() && isWordByte(t[p + word.size()])) continue;
        return p;
    }
    return std::string::npos;
}

// The first place in [from, to) where the letter stands unbound: not inside
// a word or a bracketed literal, and not in the scope of a binder of the
// same letter (a lambda or binding's body runs to the end of the group it
// stands in). Else npos.
size_t letterWithin(std::string_view t, char letter, size_t from, size_t to) {
    int square = 0, depth = 0, boundAt = -1;
    for (size_t p = from; p < to && p < t.size(); ++p) {
        char c = t[p];
        if (c == '[') ++square;
        if (c == ']' && square > 0) --square;
        if (square > 0) continue;
        if (c == '(' || c == '{') ++depth;
        if (c == ')' || c == '}') {
            --depth;
            if (boundAt >= 0 && depth < boundAt) boundAt = -1;
        }
        if (c != letter) continue;
        if (p > 0 && isWordByte(t[p - 1])) continue;
        if (p + 1 < t.size() && isWordByte(t[p + 1])) continue;
        size_t q = p + 1;
        while (q < t.size() && t[q] == ' ') ++q;
        bool binder = q < t.size() && (t[q] == '\\' || t[q] == '{');
        if (binder) {
            if (boundAt < 0) boundAt = depth;
        } else if (boundAt < 0) {
            return p;
        }
    }
    return std::string::npos;
}

// The text between `before` and `after` in the message, or "".
std::string between(std::string_view message, std::string_view before, std::string_view after) {
    size_t a = message.find(before);
    if (a == std::string::npos) return "";
    a += before.size();
    size_t b = message.rfind(after);
    if (b == std::string::npos || b < a) return "";
    return std::string(message.substr(a, b - a));
}

// Display names exchange NUL and newline; the source has the real bytes.
std::string sourceForm(std::string_view shown) {
    std::string out(shown);
    for (char& c : out) {
        if (c == '\n') c = '\0';
        else if (c == '\0') c = '\n';
    }
    return out;
}

std::string visible(std::string_view s) {
    std::string out;
    for (char c : s) {
        unsigned char b = static_cast<unsigned char>(c);
        out += (b >= 32 && b <= 126) || b == '\t' ? c : '?';
    }
    return out;
}

std::string render(std::string_view name, std::string_view text, size_t pos, const std::string& what) {
    if (pos > text.size()) pos = text.size();
    size_t newline = pos == 0 ? std::string::npos : text.rfind('\n', pos - 1);
    size_t lineStart = newline == std::string::npos ? 0 : newline + 1;
    size_t line = 1;
    for (size_t i = 0; i < lineStart; ++i)
        if (text[i] == '\n') ++line;
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    size_t column = pos - lineStart + 1;
    // A long line is shown from a little before the place, at most 100 bytes.
    size_t from = lineStart;
    if (pos - lineStart > 60) from = pos - 40;
    size_t to = lineEnd - from > 100 ? from + 100 : lineEnd;
    std::string source = visible(text.substr(from, to - from));
    std::string caret;
    for (size_t i = from; i < pos; ++i) caret += text[i] == '\t' ? '\t' : ' ';
    caret += '^';
    std::string out = "kiln: hint: " + visible(name) + ":" + std::to_string(line) + ":" + std::to_string(column);
    if (!what.empty()) out += ": " + visible(what);
    out += "\n  " + source + "\n  " + caret + "\n";
    return out;
}

}  // namespace

void setHintSource(std::string_view name, std::string_view text) {
    gName = std::string(name);
    gText = std::string(text);
}

std::string hintFor(const ErrorRecord& record) { return gName.empty() ? "" : hintFor(record, gName, gText); }

std::string hintFor(const ErrorRecord& record, std::string_view name, std::string_view text) {
    const std::string& type = record.type;
    if (type == "Match" || type == "Comma" || type == "Built") {
        if (record.position < 0) return "";
        // A position on the blank after a comma stands for what follows it.
        size_t pos = static_cast<size_t>(record.position);
        while (type == "Built" && pos < text.size() && isSpace(text[pos])) ++pos;
        return render(name, text, pos, "");
    }
    std::string definition;
    std::string word;
    if (type == "Alive") {
        definition = between(record.message, "occurs in function [", "] but is not defined.");
        if (definition == "TOP") definition.clear();
        word = sourceForm(record.name);
    } else if (type == "Funky") {
        definition = between(record.message, " in function ", ".");
    } else if (type == "Place" || type == "Arity" || type == "Local" || type == "Cycle") {
        definition = record.name;
    } else {
        return "";
    }
    definition = sourceForm(definition);
    size_t start = definitionStart(text, definition);
    if (start == std::string::npos) return "";
    std::string what = definition.empty() ? "the main expression" : "in the definition of " + definition;
    size_t end = pieceEnd(text, start);
    if (type == "Local") {
        std::string letter = between(record.message, "Local variable ", " unbound");
        if (letter.size() == 1) {
            size_t use = letterWithin(text, letter[0], start, end);
            if (use != std::string::npos) return render(name, text, use, what);
        }
    }
    if (type == "Alive" && word == "}") {
        // The name "}" is the empty expression: an empty call list "()" (or
        // an empty operand) passes it, and nothing defines it.
        what += ": () passes the empty expression }, which nothing defines";
        size_t use = text.find("()", start);
        if (use != std::string::npos && use < end) return render(name, text, use, what);
        return render(name, text, start, what);
    }
    if (!word.empty()) {
        size_t use = wordWithin(text, word, start, end);
        if (use != std::string::npos) return render(name, text, use, what);
    }
    return render(name, text, start, what);
}

bool hintPlace(const ErrorRecord& record, std::string_view text, size_t& line, size_t& column) {
    // The hint's first line is "kiln: hint: -:LINE:COLUMN..." for the name "-".
    std::string hint = hintFor(record, "-", text);
    constexpr std::string_view kLead = "kiln: hint: -:";
    if (hint.compare(0, kLead.size(), kLead) != 0) return false;
    const char* p = hint.c_str() + kLead.size();
    char* end = nullptr;
    line = std::strtoul(p, &end, 10);
    if (*end != ':') return false;
    column = std::strtoul(end + 1, &end, 10);
    return line > 0 && column > 0;
}

std::string lineColumn(std::string_view text, size_t pos) {
    if (pos > text.size()) pos = text.size();
    size_t line = 1, lineStart = 0;
    for (size_t i = 0; i < pos; ++i)
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    return std::to_string(line) + ":" + std::to_string(pos - lineStart + 1);
}

TopLevel scanTopLevel(std::string_view t) {
    TopLevel out;
    int depth = 0, square = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (square > 0) {
            if (c == '[') ++square;
            else if (c == ']') --square;
            continue;
        }
        if (c == '[') ++square;
        else if (c == '(' || c == '{') ++depth;
        else if (c == ')' || c == '}' || c == ']') {
            if (c != ']' && depth > 0) --depth;
            else out.strayCloser = true;
        } else if (c == ',' && depth == 0) out.commas.push_back(i);
    }
    out.open = depth + square;
    return out;
}

}  // namespace kiln
