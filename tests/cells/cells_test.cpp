#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cells/cell.h"
#include "cells/integers.h"
#include "cells/values.h"
#include "front/definitions.h"

namespace kiln {
namespace {

uint64_t countOf(const CellRef& c) { return c->header & hdr::kCountMask; }

// A body of n leading lambdas over a, b, c, ... around Z.
CellRef lambdas(int n) {
    CellRef body = makeAtom("Z");
    for (int i = n - 1; i >= 0; --i)
        body = apply(apply(makeAtom("\\"), makeAtom(std::string(1, static_cast<char>('a' + i)))), body);
    return body;
}

class CellsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setCellCounting(true);
        resetDefinitions();
        DefinitionTable& t = definitionTable();
        t["\\"] = lambdas(3);
        t["{"] = lambdas(3);
        t["K"] = lambdas(2);
        t["plus"] = lambdas(2);
        t["many"] = lambdas(12);
        t["c"] = lambdas(2);  // a one-letter definition never shadows a variable
    }
};

TEST_F(CellsTest, AtomHeaderRecordsKindAndLength) {
    CellRef n = makeAtom("123");
    EXPECT_TRUE(isAtom(n));
    EXPECT_EQ(countOf(n), 1u);
    EXPECT_EQ(rawSpan(n.get()), 3u);
    EXPECT_EQ(rawTop(n.get()), 0x80u);  // atom bit only: not yet annotated
    EXPECT_EQ(rawSpan(makeAtom("[ab]").get()), 4u);
    EXPECT_EQ(rawSpan(makeAtom("plus").get()), 0u);
    CellRef p = makePair(n, makeAtom("x"));
    EXPECT_TRUE(isPair(p));
    EXPECT_EQ(p->header & ~hdr::kCountMask, 0u);
    EXPECT_EQ(countOf(n), 2u);
}

TEST_F(CellsTest, TextsKeepEmbeddedNulBytes) {
    std::string lit("[a\0b]", 5);
    CellRef l = makeAtom(std::string(lit));
    EXPECT_EQ(textOf(l), lit);
    std::string payload("x\0y\0", 4);
    CellRef b = makeByteString(payload);
    EXPECT_EQ(textOf(b), std::string("(d)") + payload);
    EXPECT_EQ(payloadLength(b), 4u);
    EXPECT_EQ(byteStringPayload(b.get()), payload);
    std::string moved = "[moved]";
    CellRef m = makeAtom(std::move(moved));
    EXPECT_TRUE(moved.empty());
    EXPECT_EQ(textOf(m), "[moved]");
}

TEST_F(CellsTest, ReferenceCounting) {
    CellRef a = makeAtom("x");
    {
        CellRef b = a;
        EXPECT_EQ(countOf(a), 2u);
        CellRef& alias = b;
        b = alias;  // self-assignment through an alias
        EXPECT_EQ(countOf(a), 2u);
        CellRef c = std::move(b);
        EXPECT_EQ(countOf(a), 2u);
    }
    EXPECT_EQ(countOf(a), 1u);
    uint64_t live = cellStats().live;
    { CellRef p = apply(makeAtom("f"), makeAtom("g"), makeAtom("h")); }
    EXPECT_EQ(cellStats().live, live);
}

TEST_F(CellsTest, CompareCellsOrder) {
    EXPECT_EQ(compareCells(makeAtom("10"), makeAtom("9")), 1);  // bytewise, not numeric
    EXPECT_EQ(compareCells(makeAtom("9"), makeAtom("10")), -1);
    EXPECT_EQ(compareCells(makeAtom("ab"), makeAtom("abc")), 1);
    EXPECT_EQ(compareCells(makeAtom("abc"), makeAtom("abc")), 0);
    CellRef pair = makePair(makeAtom("a"), makeAtom("b"));
    EXPECT_EQ(compareCells(makeAtom("z"), pair), 1);
    EXPECT_EQ(compareCells(pair, makeAtom("z")), -1);
    EXPECT_EQ(compareCells(makePair(makeAtom("a"), makeAtom("c")), pair), -1);
    EXPECT_EQ(compareCells(makePair(makeAtom("a"), makeAtom("b")), pair), 0);
    EXPECT_EQ(compareCells(makeAtom("\xff"), makeAtom("a")), -1);  // unsigned bytes
    // Byte strings of one length compare by their payloads.
    EXPECT_EQ(compareCells(makeByteString("x"), makeByteString("y")), 1);
    EXPECT_EQ(compareCells(makeByteString("x"), makeByteString("x")), 0);
}

// Walks that outgrow the work stack kept in the walker's frame: chains on
// either spine, around the depth where it moves to the heap, each compared
// against one that differs only at the bottom, on the ordinary stack.
TEST_F(CellsTest, CompareAndAnnotateAcrossTheInlineDepth) {
    for (int depth : {1, 63, 64, 65, 66, 129, 100000}) {
        for (bool leftSpine : {false, true}) {
            auto chain = [&](const char* bottom) {
                CellRef c = makeAtom(bottom);
                for (int i = 0; i < depth; ++i)
                    c = leftSpine ? makePair(c, makeAtom("[e]")) : makePair(makeAtom("[e]"), c);
                return c;
            };
            CellRef a = chain("[a]"), a2 = chain("[a]"), b = chain("[b]");
            annotate(a);
            EXPECT_TRUE(hasDataMark(a)) << depth;
            EXPECT_EQ(compareCells(a, a2), 0) << depth;
            EXPECT_EQ(compareCells(a, b), 1) << depth;
            EXPECT_EQ(compareCells(b, a), -1) << depth;
            // A pair against an atom is answered by the top cells alone.
            EXPECT_EQ(compareCells(a, makeAtom("[a]")), -1) << depth;
            EXPECT_EQ(compareCells(makeAtom("0"), b), 1) << depth;
        }
    }
}

TEST_F(CellsTest, AnnotatesNamesAndLetters) {
    EXPECT_EQ(arityOf(makeAtom("plus")), 2);
    EXPECT_EQ(arityOf(makeAtom("many")), 11);  // stops counting at 11
    CellRef x = makeAtom("x");
    EXPECT_EQ(arityOf(x), 11);
    EXPECT_EQ(freeVariables(x), 1u << ('x' - 'a'));
    CellRef c = makeAtom("c");
    EXPECT_EQ(freeVariables(c), 1u << 2);  // a letter, whatever the table holds
    EXPECT_EQ(arityOf(makeAtom("5")), 1);
    EXPECT_EQ(freeVariables(makeAtom("5")), 0u);
    EXPECT_EQ(arityOf(makeAtom(")cyc")), 1);
    EXPECT_EQ(arityOf(makeAtom("BI")), 2);
    EXPECT_TRUE(isNormal(makeAtom("[ab]")));
    EXPECT_TRUE(hasDataMark(makeAtom("[ab]")));
}

TEST_F(CellsTest, AnnotatesApplicationsLambdasAndBindings) {
    CellRef plus1 = apply(makeAtom("plus"), makeAtom("1"));
    EXPECT_EQ(arityOf(plus1), 1);
    EXPECT_TRUE(isNormal(plus1));
    CellRef sat = apply(plus1, makeAtom("2"));
    EXPECT_EQ(arityOf(sat), 0);
    EXPECT_FALSE(isNormal(sat));
    CellRef over = apply(sat, makeAtom("3"));
    EXPECT_EQ(arityOf(over), -1);

    // ((\ x) (plus x y)): y is free, x is bound.
    CellRef body = apply(makeAtom("plus"), makeAtom("x"), makeAtom("y"));
    CellRef lam = apply(apply(makeAtom("\\"), makeAtom("x")), body);
    EXPECT_EQ(shapeOf(lam), 'u');
    EXPECT_EQ(arityOf(lam), 1);
    EXPECT_EQ(freeVariables(lam), 1u << ('y' - 'a'));
    EXPECT_TRUE(isNormal(lam));
    EXPECT_FALSE(isNormal(body));  // a saturated application

    // (((\{ x) y) (plus x z)): x bound in the body, y free in the value.
    CellRef bind = apply(apply(apply(makeAtom("{"), makeAtom("x")), makeAtom("y")),
                         apply(makeAtom("plus"), makeAtom("x"), makeAtom("z")));
    EXPECT_EQ(shapeOf(bind), 'i');
    EXPECT_EQ(freeVariables(bind), (1u << ('y' - 'a')) | (1u << ('z' - 'a')));
    EXPECT_EQ(arityOf(bind), 0);

    // A constant argument makes a redex inside.
    CellRef withRedex = apply(makeAtom("K"), sat);
    EXPECT_TRUE(rawHasRedex(withRedex.get()));
    EXPECT_FALSE(isNormal(withRedex));
    EXPECT_TRUE(headIsConstructor(withRedex));
    EXPECT_FALSE(headIsConstructor(sat));
}

// annotateApplication answers what annotate does for the pairs a
// constructor's partial application is built of, whether or not its parts
// are annotated yet (a numeral arithmetic made is not).
// Its parts are closed, as the values the evaluator builds from are.
TEST_F(CellsTest, AnnotateApplicationAgreesWithAnnotate) {
    auto both = [](Cell* l, Cell* r) {
        incRef(l);
        incRef(r);
        Cell* a = rawMakePair(l, r);
        incRef(l);
        incRef(r);
        Cell* b = rawMakePair(l, r);
        annotateApplication(a);
        annotate(b);
        uint64_t ha = a->header, hb = b->header;
        decRef(a);
        decRef(b);
        return std::make_pair(ha, hb);
    };
    CellRef k = makeAtom("K");
    CellRef plus = makeAtom("plus");
    CellRef fresh = makeInteger(41);  // not annotated yet
    CellRef sat = apply(plus, makeAtom("1"), makeAtom("2"));
    CellRef text = makeAtom("[ab]");
    CellRef cases[][2] = {{k, fresh}, {plus, makeInteger(7)}, {apply(plus, makeAtom("1")), makeAtom("3")},
                          {k, sat}, {k, text}, {text, makeAtom("[cd]")}, {apply(k, text), makeInteger(5)},
                          {apply(plus, makeInteger(1)), apply(k, text)},
                          {plus, makeReal(2.5)}};
    for (auto& c : cases) {
        auto [ha, hb] = both(c[0].get(), c[1].get());
        EXPECT_EQ(ha, hb) << atomText(c[0]) << " " << atomText(c[1]);
    }
}

TEST_F(CellsTest, DataPairs) {
    CellRef d = makePair(makeAtom("[abc]"), makeAtom("[defg]"));
    EXPECT_TRUE(hasDataMark(d));
    EXPECT_EQ(rawSpan(d.get()), 11u);  // 5 + 6 bytes with their brackets
    EXPECT_EQ(arityOf(d), 1);
    EXPECT_EQ(freeVariables(d), 0u);
    CellRef mixed = makePair(makeAtom("[ab]"), makeAtom("x"));
    EXPECT_FALSE(hasDataMark(mixed));
    EXPECT_EQ(arityOf(mixed), 0);
    CellRef three = makePair(makeAtom("[ab]"), makeAtom("[cd]"));
    annotate(three);
    EXPECT_EQ(rawSpan(three.get()), 8u);
}

TEST_F(CellsTest, DeepGraphsWalkAndFree) {
    struct Job {
        bool ok = false;
        static void run(void* p) {
            Job* j = static_cast<Job*>(p);
            // A million-deep list of the shape (x1 (x2 ( ... K))).
            CellRef list = makeAtom("K");
            for (int i = 0; i < 1000000; ++i) list = makePair(makeAtom("K"), list);
            CellRef other = makeAtom("K");
            for (int i = 0; i < 1000000; ++i) other = makePair(makeAtom("K"), other);
            annotate(list);
            j->ok = compareCells(list, other) == 0 && !isNormal(list) == false;
        }
    } job;
    uint64_t live = cellStats().live;
    runWithLargeStack(Job::run, &job);
    EXPECT_TRUE(job.ok);
    EXPECT_EQ(cellStats().live, live);
    // Ten million cells freed through the iterative release.
    {
        CellRef list = makeAtom("K");
        for (int i = 0; i < 10000000; ++i) list = makePair(list, list);
    }
    EXPECT_EQ(cellStats().live, live);
}

// Resident memory of this process in KiB, from /proc/self/status.
long residentKiB() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld", &kib) == 1) break;
    std::fclose(f);
    return kib;
}

TEST_F(CellsTest, PoolTouchesOnlyWhatItCarves) {
    // One atom of every pooled size: each class's first cell must not make
    // the whole chunk of that class resident.
    long before = residentKiB();
    std::vector<CellRef> atoms;
    for (size_t n = 0; n < 112; n += 8) atoms.push_back(makeAtom(std::string(n, 'a')));
    long after = residentKiB();
    ASSERT_GE(before, 0);
    EXPECT_LT(after - before, 2048) << "grew from " << before << " KiB to " << after << " KiB";
}

TEST_F(CellsTest, CountsOnlyWhileCounting) {
    setCellCounting(false);
    CellStats off = cellStats();
    { CellRef p = apply(makeAtom("f"), makeAtom("g")); }
    EXPECT_EQ(cellStats().allocated, off.allocated);
    CellRef early = makeAtom("early");
    setCellCounting(true);
    uint64_t live = cellStats().live;
    uint64_t allocated = cellStats().allocated;
    CellRef p = makePair(makeAtom("f"), makeAtom("g"));
    EXPECT_EQ(cellStats().allocated, allocated + 3);
    EXPECT_EQ(cellStats().live, live + 3);
    EXPECT_GE(cellStats().peakLive, live + 3);
    p = CellRef();
    EXPECT_EQ(cellStats().live, live);
}

TEST(CellsDeathTest, BrokenInvariantsStopWithTheCoreTag) {
    EXPECT_DEATH(left(makeAtom("x")), "ASSERTION FAILED:b:");
    EXPECT_DEATH(decodeLengthDigits("a!"), "ASSERTION FAILED:b:");
    EXPECT_DEATH(makeAtom(static_cast<const char*>(nullptr)), "ASSERTION FAILED:b:");
}

}  // namespace
}  // namespace kiln
