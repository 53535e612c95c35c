#include "driver/report.h"

#include <cstdlib>

namespace kiln {

std::string report(ErrorRecord record) {
    if (record.empty()) return "No errors.\n";
    std::string out = "Error.\n Type: " + record.type + "\n";
    if (!record.name.empty()) out += " Name: " + record.name + "\n";
    out += record.message;
    out += "\n\\/\n";
    return out;
}

std::string escapeForDisplay(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : text) {
        if (b >= 32 && b <= 126 && b != '[' && b != ']') {
            out += static_cast<char>(b);
        } else {
            out += '[';
            out += hex[b >> 4];
            out += hex[b & 15];
            out += ']';
        }
    }
    return out;
}

namespace {

enum Class { kPlain, kCode, kQuoted };

Class classOf(unsigned char b) {
    if (b == 10 || (b >= 32 && b <= 126)) return kPlain;
    if (b >= 160 && b <= 254) return kQuoted;
    return kCode;
}

const char kHighCodes[] = "~!@#$%^&*<>-|+/=\\.`'\":;?012345678";  // 127..159
const char kLowCodes[] = "]JABCDEFGHI,KLMNOPQRSTUVWXYZ(){}[";  // 255, 0..31

}  // namespace

std::string colourize(std::string_view text, bool colour) {
    static const char* const escapes[] = {"\x1b[m", "\x1b[32m", "\x1b[31m"};
    std::string out;
    Class current = kPlain;
    for (unsigned char b : text) {
        Class c = classOf(b);
        if (c != current && colour) out += escapes[c];
        current = c;
        if (c == kPlain)
            out += static_cast<char>(b);
        else if (c == kQuoted)
            out += b == 160 ? ' ' : static_cast<char>(b - 128);
        else if (b >= 127 && b <= 159)
            out += kHighCodes[b - 127];
        else
            out += kLowCodes[(b + 1) % 256];
    }
    if (current != kPlain && colour) out += escapes[kPlain];
    return out;
}

bool colourWanted() {
    const char* v = std::getenv("NO_COLOR");
    return !(v && *v);
}

}  // namespace kiln
