#include "front/names.h"

#include <cstring>

#include "cells/diagnostics.h"

namespace kiln {

const char kOperatorCharacters[28] = "{,}~!@#$%^&*<>-|+/=\\.`'\":;?";

bool isOperatorCharacter(unsigned char c) {
    return c != 0 && std::memchr(kOperatorCharacters, c, 27) != nullptr;
}

bool isWord(std::string_view t) {
    if (t.empty()) return false;
    for (char ch : t)
        if (!(ch == '_' || (ch >= 'a' && ch <= 'z'))) return false;
    return true;
}

namespace {
bool isSingleNameCharacter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 1 && c <= 31) || c >= 127;
}
}  // namespace

bool isName(std::string_view t) {
    if (isWord(t)) return true;
    if (t.size() == 1) return isSingleNameCharacter(static_cast<unsigned char>(t[0]));
    return t.size() == 3 && t[0] == '[' && t[2] == ']' && isOperatorCharacter(static_cast<unsigned char>(t[1]));
}

bool isKey(std::string_view t) {
    if (isWord(t)) return true;
    if (t.size() != 1) return false;
    unsigned char c = static_cast<unsigned char>(t[0]);
    return isSingleNameCharacter(c) || isOperatorCharacter(c);
}

std::string keyOf(std::string_view name) {
    if (!isName(name)) assertionFailed("b", __LINE__);
    if (name.size() == 3 && name[0] == '[') return std::string(1, name[1]);
    return std::string(name);
}

}  // namespace kiln
