#include "front/charcodes.h"

#include <cstring>

#include "cells/diagnostics.h"

namespace kiln {

namespace {

// The 24 symbols in code order, then the eight that follow them.
constexpr const char kSymbols[] = "~!@#$%^&*<>-|+/=";
constexpr const char kMoreSymbols[] = "\\.`'\":;?";
constexpr const char kLetters[] = "abcdefghijklmnopqrustvwzxy";

}  // namespace

unsigned char characterCode(int mode, unsigned char c) {
    if (c == ' ' || c == '\n') return c;
    if (mode == 3) return c;
    if (mode == 1) return static_cast<unsigned char>(c - 128);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'I') return static_cast<unsigned char>(c - 'A' + 1);
    if (c == 'J') return 0;
    if (c >= 'K' && c <= 'Z') return static_cast<unsigned char>(c - 'K' + 11);
    if (c >= '0' && c <= '9') return static_cast<unsigned char>(c - '0' + 151);
    switch (c) {
        case ',': return 10;
        case '(': return 27;
        case ')': return 28;
        case '{': return 29;
        case '}': return 30;
        case '[': return 31;
        case '_': return 32;
        case ']': return 255;
        default: break;
    }
    if (const void* p = c ? std::memchr(kSymbols, c, 16) : nullptr)
        return static_cast<unsigned char>(127 + (static_cast<const char*>(p) - kSymbols));
    if (const void* p = c ? std::memchr(kMoreSymbols, c, 8) : nullptr)
        return static_cast<unsigned char>(143 + (static_cast<const char*>(p) - kMoreSymbols));
    fail("nopqchar");
}

namespace {

struct CodeTables {
    std::array<CodePosition, 256> order{};
    std::array<int, 256> positionOf{};

    CodeTables() {
        int i = 0;
        auto add = [&](int mode, std::string_view chars) {
            for (char ch : chars) {
                auto c = static_cast<unsigned char>(ch);
                order[i] = CodePosition{mode, c, characterCode(mode, c)};
                ++i;
            }
        };
        std::string capitals;
        for (const char* p = kLetters; *p; ++p) capitals += static_cast<char>(*p - 'a' + 'A');
        const std::string digits = "0123456789";
        const std::string quotable = std::string("_") + kLetters + digits + capitals + kSymbols + kMoreSymbols + "(){},";
        add(2, digits + capitals + kSymbols + "_");
        add(3, quotable);
        add(1, quotable + "[]");
        add(2, "[](){},");
        add(3, "[]");
        add(2, kMoreSymbols);
        if (i != 256) assertionFailed("b", __LINE__);
        positionOf.fill(-1);
        for (int k = 0; k < 256; ++k) {
            if (positionOf[order[k].code] != -1) assertionFailed("b", __LINE__);
            positionOf[order[k].code] = k;
        }
    }
};

const CodeTables& codeTables() {
    static const CodeTables t;
    return t;
}

}  // namespace

const std::array<CodePosition, 256>& codeOrder() { return codeTables().order; }

int positionOfCode(unsigned char code) { return codeTables().positionOf[code]; }

std::string treeText(int n) {
    if (n < 0 || n >= 677) assertionFailed("b", __LINE__);
    if (n == 0) return "[]";
    int r = 0;
    while ((r + 1) * (r + 1) <= n - 1) ++r;
    int d = n - 1 - r * r;
    int a, b;
    if (d % 2 == 1) {
        a = r;
        b = (d - 1) / 2;
    } else {
        a = d / 2;
        b = r;
    }
    return "[" + treeText(a) + treeText(b).substr(1);
}

const CharacterTreeTable& characterTreeTable() {
    static const CharacterTreeTable table = [] {
        CharacterTreeTable t;
        const auto& order = codeOrder();
        for (int i = 0; i < 256; ++i) {
            unsigned char code = order[i].code;
            if (code == 10 || code == 91 || code == 93) continue;
            std::string one(1, static_cast<char>(code));
            std::string tree = treeText(i + 145);
            t.emplace(tree, one);
            t.emplace(std::move(one), std::move(tree));
        }
        return t;
    }();
    return table;
}

std::optional<std::string> treeOfCharacter(unsigned char code) {
    const CharacterTreeTable& t = characterTreeTable();
    auto it = t.find(std::string_view(reinterpret_cast<const char*>(&code), 1));
    if (it == t.end()) return std::nullopt;
    return it->second;
}

std::optional<unsigned char> characterOfTree(std::string_view tree) {
    if (tree.size() < 2) return std::nullopt;
    const CharacterTreeTable& t = characterTreeTable();
    auto it = t.find(tree);
    if (it == t.end()) return std::nullopt;
    return static_cast<unsigned char>(it->second[0]);
}

}  // namespace kiln
