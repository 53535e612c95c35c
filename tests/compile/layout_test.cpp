#include <gtest/gtest.h>

#include "compile/layout.h"

namespace kiln {
namespace {

TEST(Layout, TableTextIsExact) {
    const std::string expected =
        "[[addrinfo[ai_flags[4]][ai_family[4]][ai_socktype[4]][ai_protocol[4]][ai_addrlen[8]][ai_canonname[8]]"
        "[ai_addr[8]][ai_next[8]]][dirent[d_ino[4]][d_off[4]][d_reclen[2]][[6]][d_namlen[8]][d_type[4]]"
        "[d_name[261]][[7]]][fd_set[[520]]][size_t[[8]]][socklen_t[[4]]][time_t[[8]]]]";
    EXPECT_EQ(expected.size(), 272u);
    EXPECT_EQ(layoutTableText(), expected);
    CellRef atom = makeLayoutTable();
    EXPECT_EQ(atomText(atom), expected);
    EXPECT_EQ(rawSpan(atom.get()), 272u);  // a bracketed literal records its length
}

TEST(Layout, FieldsAreCarvedOutOfPadding) {
    EXPECT_EQ(formatInteger(0), "0");
    EXPECT_EQ(formatInteger(-42), "-42");
    EXPECT_EQ(addLayoutField(4, 0, "a", "[s[[8]]]"), "[s[a[4]][[4]]]");
    EXPECT_EQ(addLayoutField(2, 3, "b", "[s[a[2]][[6]]]"), "[s[a[2]][[1]][b[2]][[3]]]");
    EXPECT_EQ(addLayoutField(8, 0, "w", "[s[[8]]]"), "[s[w[8]]]");
}

}  // namespace
}  // namespace kiln
