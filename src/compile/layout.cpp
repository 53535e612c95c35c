#include "compile/layout.h"

#include <cstdio>

#include "cells/diagnostics.h"

namespace kiln {

namespace {

struct Field {
    const char* name;
    int64_t width;
    int64_t offset;
};

struct Structure {
    const char* name;
    int64_t size;
    std::initializer_list<Field> fields;
};

// The records as programs see them, fields in the order they are carved.
const Structure kStructures[] = {
    {"addrinfo",
     48,
     {{"ai_flags", 4, 0},
      {"ai_family", 4, 4},
      {"ai_socktype", 4, 8},
      {"ai_protocol", 4, 12},
      {"ai_addrlen", 8, 16},
      {"ai_addr", 8, 32},
      {"ai_canonname", 8, 24},
      {"ai_next", 8, 40}}},
    {"dirent",
     296,
     {{"d_ino", 4, 0}, {"d_off", 4, 4}, {"d_namlen", 8, 16}, {"d_reclen", 2, 8}, {"d_type", 4, 24}, {"d_name", 261, 28}}},
    {"fd_set", 520, {}},
    {"size_t", 8, {}},
    {"socklen_t", 4, {}},
    {"time_t", 8, {}},
};

std::string segment(std::string_view field, int64_t size) {
    std::string out = "[";
    out += field;
    out += '[';
    out += formatInteger(size);
    out += "]]";
    return out;
}

size_t findFrom(std::string_view text, char ch, size_t from) {
    size_t at = text.find(ch, from);
    KILN_ASSERT(at != std::string_view::npos);
    return at;
}

}  // namespace

std::string formatInteger(int64_t n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lli", static_cast<long long>(n));
    return buf;
}

std::string addLayoutField(int64_t width, int64_t offset, std::string_view fieldName, std::string_view record) {
    size_t seg = findFrom(record, '[', 1);  // past the structure's name
    int64_t segStart = 0;
    for (;;) {
        size_t sizeOpen = findFrom(record, '[', seg + 1);
        size_t sizeClose = findFrom(record, ']', sizeOpen + 1);
        bool padding = sizeOpen == seg + 1;
        int64_t size = 0;
        for (size_t i = sizeOpen + 1; i < sizeClose; ++i) {
            char d = record[i];
            KILN_ASSERT(d >= '0' && d <= '9');
            size = size * 10 + (d - '0');
        }
        size_t next = sizeClose + 2;
        KILN_ASSERT(next <= record.size());
        int64_t segEnd = segStart + size;
        if (segEnd > offset) {
            KILN_ASSERT(segEnd >= offset + width && padding);
            std::string out(record.substr(0, seg));
            if (offset != segStart) out += segment("", offset - segStart);
            out += segment(fieldName, width);
            if (segEnd - offset - width != 0) out += segment("", segEnd - offset - width);
            out += record.substr(next);
            return out;
        }
        segStart = segEnd;
        seg = next;
    }
}

std::string layoutTableText() {
    std::string table = "[";
    for (const Structure& s : kStructures) {
        std::string record = "[";
        record += s.name;
        record += segment("", s.size);
        record += ']';
        for (const Field& f : s.fields) record = addLayoutField(f.width, f.offset, f.name, record);
        table += record;
    }
    table += "]";
    return table;
}

CellRef makeLayoutTable() { return makeAtom(layoutTableText()); }

}  // namespace kiln
