// Every program of docs/language.md is a golden case under tests/programs/docs/
// (run by CTest against the interpreter); this test keeps the guide and the
// cases identical: the program text, and the box of output and exit status
// shown after it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
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
    std::regex marker("<!-- " + kind + ": ([a-z_]+) -->\n```[a-z]*\n");
    for (std::sregex_iterator it(page.begin(), page.end(), marker), end; it != end; ++it) {
        size_t start = it->position(0) + it->length(0);
        size_t close = page.find("```", start);
        if (close == std::string::npos) close = page.size();
        blocks[(*it)[1].str()] = page.substr(start, close - start);
    }
    return blocks;
}

std::string withoutColour(const std::string& text) {
    static const std::regex colour("\x1b\\[[0-9;]*m");
    return std::regex_replace(text, colour, "");
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

TEST(LanguageDocParts, MarkedBlocksAndColourStripping) {
    auto blocks = markedBlocks("<!-- sample: ab -->\n```kiln\nx\\1\n```\ntext\n<!-- sample: cd -->\n```\n2\n```", "sample");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks["ab"], "x\\1\n");
    EXPECT_EQ(blocks["cd"], "2\n");
    EXPECT_EQ(withoutColour("\x1b[mError.\n \x1b[32mZ\x1b[m\n"), "Error.\n Z\n");
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
