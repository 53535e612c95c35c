// The watcher of the number builtins' traps: told of comparisons across
// kinds and of divisions by negative numbers, and of nothing else; the
// answers stay as they are.
#include <string>
#include <vector>

#include "numbers/numbers.h"
#include "support.h"

namespace kiln::numbers {
namespace {

using namespace testing;

std::vector<std::string> gTold;

void note(NumberTrap trap, const char* builtin, Cell*, Cell*) {
    gTold.push_back(std::string(trap == NumberTrap::MixedKinds ? "kinds " : "negative ") + builtin);
}

class Traps : public NumbersTest {
protected:
    void SetUp() override {
        NumbersTest::SetUp();
        gTold.clear();
        gNumberTrapWatcher = note;
    }
    void TearDown() override { gNumberTrapWatcher = nullptr; }
};

TEST_F(Traps, ComparisonsAcrossKinds) {
    EXPECT_EQ(text(call(less, "less", atom("2"), realAtom(3))), "H");  // by kind, as ever
    EXPECT_EQ(text(call(same, "same", atom("3"), realAtom(3))), "H");
    EXPECT_EQ(text(call(gteq, "gteq", atom("2"), atom("003"))), "H");
    EXPECT_EQ(text(call(diff, "diff", atom("[ab]"), bytes("ab"))), "K");
    EXPECT_EQ(gTold, (std::vector<std::string>{"kinds less", "kinds same", "kinds gteq", "kinds diff"}));
}

TEST_F(Traps, NothingForOneKindOrForWhatIsNoNumber) {
    call(less, "less", atom("2"), atom("3"));
    call(less, "less", atom("123456789012345678901234567890"), atom("2"));
    call(same, "same", realAtom(1), realAtom(2));
    call(same, "same", atom("[a]"), atom("[a]"));
    call(less, "less", atom("2"), atom("K"));  // Z, not an answer by kind
    EXPECT_TRUE(gTold.empty());
}

TEST_F(Traps, NegativeDivisors) {
    EXPECT_EQ(text(call(over, "over", atom("7"), atom("02"))), "04");
    EXPECT_EQ(text(call(cent, "cent", atom("7"), atom("03"))), "2");
    call(over, "over", atom("7"), atom("0123456789012345678901234567890"));
    call(cent, "cent", realAtom(7), realAtom(-2));
    call(over, "over", atom("7"), atom("0003"));  // a negative fraction
    EXPECT_EQ(gTold, (std::vector<std::string>{"negative over", "negative cent", "negative over", "negative cent",
                                               "negative over"}));
}

TEST_F(Traps, NothingForOtherDivisors) {
    call(over, "over", atom("07"), atom("2"));
    call(cent, "cent", atom("07"), atom("3"));
    call(over, "over", atom("7"), atom("0"));
    call(over, "over", atom("7"), atom("123456789012345678901234567890"));
    call(cent, "cent", realAtom(7), realAtom(2));
    call(over, "over", atom("7"), atom("003"));
    EXPECT_TRUE(gTold.empty());
}

}  // namespace
}  // namespace kiln::numbers
