// Every program of docs/language.md is a golden case under tests/programs/docs/
// (run by CTest against the interpreter), and every program of
// docs/recipes.md one under tests/programs/docs/recipes/; these tests keep
// the pages and the cases identical: the program text, and the box of output
// and exit status shown after it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path sourceRoot() {
    // this file is tests/driver/language_doc_test.cpp
    return fs::path(__FILE__).parent_path().parent_path().parent_path();
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The fenced blocks that follow "<!-- KIND: NAME -->" markers.
std::map<std::string, std::string> markedBlocks(const std::string& page, const std::string& kind) {
    std::map<std::string, std::string> blocks;
    const std::string open = "<!-- " + kind + ": ", close = " -->\n```";
    for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at + 1)) {
        size_t nameStart = at + open.size(), nameEnd = page.find(close, nameStart);
        if (nameEnd == std::string::npos) break;
        size_t start = page.find('\n', nameEnd + close.size());
        if (start == std::string::npos) break;
        size_t end = page.find("```", start + 1);
        if (end == std::string::npos) end = page.size();
        blocks[page.substr(nameStart, nameEnd - nameStart)] = page.substr(start + 1, end - start - 1);
    }
    return blocks;
}

// Drops the terminal colour sequences ESC [ digits-and-semicolons m.
std::string withoutColour(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
            size_t j = i + 2;
            while (j < text.size() && ((text[j] >= '0' && text[j] <= '9') || text[j] == ';')) ++j;
            if (j < text.size() && text[j] == 'm') {
                i = j;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string expectedResult(const fs::path& base) {
    std::string status = readFile(fs::path(base).replace_extension(".status"));
    while (!status.empty() && (status.back() == '\n' || status.back() == ' ')) status.pop_back();
    if (status.empty()) status = "0";
    return readFile(fs::path(base).replace_extension(".out")) +
           withoutColour(readFile(fs::path(base).replace_extension(".err"))) + "exit status " + status + "\n";
}

class LanguageDoc : public ::testing::Test {
protected:
    void SetUp() override {
        page = readFile(sourceRoot() / "docs" / "language.md");
        ASSERT_FALSE(page.empty()) << "docs/language.md not found under " << sourceRoot();
        samples = markedBlocks(page, "sample");
        results = markedBlocks(page, "result");
    }
    fs::path cases = sourceRoot() / "tests" / "programs" / "docs";
    std::string page;
    std::map<std::string, std::string> samples, results;
};

TEST_F(LanguageDoc, EveryProgramIsATestedCase) {
    ASSERT_GE(samples.size(), 20u);
    for (const auto& [name, text] : samples) {
        fs::path file = cases / (name + ".kn");
        ASSERT_TRUE(fs::exists(file)) << name << ": no golden case " << file;
        EXPECT_EQ(text, readFile(file)) << "the guide's program " << name << " differs from its case";
    }
}

TEST_F(LanguageDoc, EveryResultBoxMatchesItsCase) {
    for (const auto& [name, text] : samples) {
        auto it = results.find(name);
        ASSERT_NE(it, results.end()) << name << " has no result box";
        EXPECT_EQ(it->second, expectedResult(cases / name)) << "result box of " << name;
    }
    EXPECT_EQ(results.size(), samples.size());
}

TEST_F(LanguageDoc, EveryCaseIsShownInTheGuide) {
    for (const auto& entry : fs::directory_iterator(cases)) {
        if (entry.path().extension() != ".kn") continue;
        EXPECT_EQ(samples.count(entry.path().stem().string()), 1u)
            << entry.path().filename() << " is not shown in docs/language.md";
    }
}

// docs/recipes.md keeps its programs in tests/programs/docs/recipes/ the
// same way.
TEST(RecipesDoc, EveryProgramAndResultIsItsCaseAndEveryCaseIsShown) {
    std::string page = readFile(sourceRoot() / "docs" / "recipes.md");
    ASSERT_FALSE(page.empty()) << "docs/recipes.md not found under " << sourceRoot();
    fs::path cases = sourceRoot() / "tests" / "programs" / "docs" / "recipes";
    auto samples = markedBlocks(page, "sample");
    auto results = markedBlocks(page, "result");
    ASSERT_GE(samples.size(), 10u);
    EXPECT_EQ(results.size(), samples.size());
    for (const auto& [name, text] : samples) {
        fs::path file = cases / (name + ".kn");
        ASSERT_TRUE(fs::exists(file)) << name << ": no golden case " << file;
        EXPECT_EQ(text, readFile(file)) << "the recipe program " << name << " differs from its case";
        auto it = results.find(name);
        ASSERT_NE(it, results.end()) << name << " has no result box";
        EXPECT_EQ(it->second, expectedResult(cases / name)) << "result box of " << name;
    }
    for (const auto& entry : fs::directory_iterator(cases)) {
        if (entry.path().extension() != ".kn") continue;
        EXPECT_EQ(samples.count(entry.path().stem().string()), 1u)
            << entry.path().filename() << " is not shown in docs/recipes.md";
    }
}

TEST(LanguageDocParts, MarkedBlocksAndColourStripping) {
    auto blocks = markedBlocks("<!-- sample: ab -->\n```kiln\nx\\1\n```\ntext\n<!-- sample: cd -->\n```\n2\n```", "sample");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks["ab"], "x\\1\n");
    EXPECT_EQ(blocks["cd"], "2\n");
    EXPECT_EQ(withoutColour("\x1b[mError.\n \x1b[32mZ\x1b[m\n\x1b[x"), "Error.\n Z\n\x1b[x");
}

}  // namespace

namespace {

std::string indented(const std::string& text) {
    std::string out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) out += "    " + line + "\n";
    return out;
}

// The README's first program and its output are the golden case
// tests/programs/docs/readme/squares.
TEST(ReadmeDoc, FirstProgramAndOutputAreTheGoldenCase) {
    std::string readme = readFile(sourceRoot() / "README.md");
    fs::path base = sourceRoot() / "tests" / "programs" / "docs" / "readme" / "squares";
    std::string program = readFile(fs::path(base).replace_extension(".kn"));
    std::string output = readFile(fs::path(base).replace_extension(".out"));
    ASSERT_FALSE(program.empty());
    ASSERT_FALSE(output.empty());
    EXPECT_NE(readme.find(indented(program)), std::string::npos) << "README program differs from " << base;
    EXPECT_NE(readme.find(indented(output)), std::string::npos) << "README output differs from " << base;
    EXPECT_NE(readme.find("./build/kiln examples/square.kn 7"), std::string::npos) << "quick start changed";
}

}  // namespace
