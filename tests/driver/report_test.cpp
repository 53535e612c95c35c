#include <gtest/gtest.h>

#include "driver/report.h"

namespace kiln {
namespace {

TEST(Report, EmptyAndFull) {
    EXPECT_EQ(report(ErrorRecord()), "No errors.\n");
    ErrorRecord r;
    r.type = "Alive";
    r.message = "Variable [x] occurs.";
    EXPECT_EQ(report(r), "Error.\n Type: Alive\nVariable [x] occurs.\n\\/\n");
    r.name = "f";
    r.message = "two\n";
    EXPECT_EQ(report(r), "Error.\n Type: Alive\n Name: f\ntwo\n\n\\/\n");
}

TEST(Report, EscapeForDisplay) {
    EXPECT_EQ(escapeForDisplay("a[b]"), "a[5B]b[5D]");
    EXPECT_EQ(escapeForDisplay("\t x\xe9"), "[09] x[E9]");
    EXPECT_EQ(escapeForDisplay("\x7f"), "[7F]");
}

TEST(Report, Colourize) {
    EXPECT_EQ(colourize("plain text\nmore"), "plain text\nmore");
    // 0 is J, 1 is A, 127 is ~, 151 is 0, 255 is ].
    EXPECT_EQ(colourize(std::string("a\x01", 2)), "a\x1b[32mA\x1b[m");
    EXPECT_EQ(colourize(std::string("\x00\x7f\x97\xff", 4)), "\x1b[32mJ~0]\x1b[m");
    // Quoted bytes are red ASCII; 160 is a red space.
    EXPECT_EQ(colourize("\xc1\xa0x"), "\x1b[31mA \x1b[mx");
    EXPECT_EQ(colourize("\x01\xc1"), "\x1b[32mA\x1b[31mA\x1b[m");
    EXPECT_EQ(colourize("\x01\xc1", false), "AA");
}

}  // namespace
}  // namespace kiln
