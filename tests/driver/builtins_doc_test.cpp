// docs/builtins.md lists every builtin with its arity; the list must match the
// registry exactly, so the reference cannot drift from the interpreter.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "front/registry.h"

namespace {

std::filesystem::path sourceRoot() {
    // this file is tests/driver/builtins_doc_test.cpp
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Rows of the form "| `name` | arity | ..." anywhere in the page.
std::multimap<std::string, int> documentedRows(const std::string& page) {
    std::multimap<std::string, int> rows;
    std::istringstream lines(page);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("| `", 0) != 0) continue;
        size_t nameEnd = line.find('`', 3);
        if (nameEnd == std::string::npos || line.compare(nameEnd, 4, "` | ") != 0) continue;
        std::string name = line.substr(3, nameEnd - 3);
        size_t digits = nameEnd + 4, end = digits;
        while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
        if (end == digits || line.compare(end, 2, " |") != 0) continue;
        bool word = !name.empty();
        for (char c : name) word = word && ((c >= 'a' && c <= 'z') || c == '_');
        if (word) rows.emplace(name, std::stoi(line.substr(digits, end - digits)));
    }
    return rows;
}

TEST(BuiltinsDoc, ListsEveryBuiltinOnceWithItsArity) {
    std::string page = readFile(sourceRoot() / "docs" / "builtins.md");
    ASSERT_FALSE(page.empty()) << "docs/builtins.md not found under " << sourceRoot();
    auto rows = documentedRows(page);
    const kiln::BuiltinTable& table = kiln::builtinTable();
    ASSERT_EQ(table.size(), 224u);

    for (const auto& [name, arity] : rows) {
        EXPECT_EQ(rows.count(name), 1u) << name << " is listed more than once";
        auto it = table.find(name);
        if (it == table.end()) {
            ADD_FAILURE() << name << " is documented but is no builtin";
            continue;
        }
        EXPECT_EQ(arity, it->second.arity) << "arity of " << name;
    }
    for (const auto& [name, entry] : table)
        EXPECT_EQ(rows.count(name), 1u) << name << " (arity " << int(entry.arity) << ") is not documented";
    EXPECT_EQ(rows.size(), table.size());
}

TEST(BuiltinsDoc, RowParserReadsNameAndArity) {
    auto rows = documentedRows("| `plus` | 2 | num | value | sum |\n| name | arity |\n  | `x` | 1 |\n"
                               "| `int` | an integer |\n| `Big` | 1 |\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.begin()->first, "plus");
    EXPECT_EQ(rows.begin()->second, 2);
}

}  // namespace
