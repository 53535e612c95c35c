#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "bridge/call.h"
#include "cells/values.h"

namespace kiln::testing {
namespace {

CellRef real(double x) { return makeReal(x); }

double realOf(const CellRef& c) {
    EXPECT_TRUE(isReal(c.get())) << atom(c);
    return isReal(c.get()) ? realValue(c.get()) : 0;
}

TEST(Maths, RealFunctionsTakeRealsOnly) {
    EXPECT_DOUBLE_EQ(realOf(call("sqrt", {real(2.0)})), std::sqrt(2.0));
    EXPECT_TRUE(std::isnan(realOf(call("sqrt", {real(-1.0)}))));
    EXPECT_EQ(atom(call("sqrt", {num(4)})), "Z");
    EXPECT_EQ(atom(call("cos", {lit("[1.0]")})), "Z");
    EXPECT_DOUBLE_EQ(realOf(call("pow", {real(2.0), real(10.0)})), 1024.0);
    EXPECT_EQ(atom(call("pow", {real(2.0), num(10)})), "Z");
    EXPECT_DOUBLE_EQ(realOf(call("fmod", {real(7.5), real(2.0)})), 1.5);
    EXPECT_DOUBLE_EQ(realOf(call("hypot", {real(3.0), real(4.0)})), 5.0);
    EXPECT_GT(realOf(call("nextafter", {real(1.0), real(2.0)})), 1.0);
    EXPECT_DOUBLE_EQ(realOf(call("floor", {real(-1.5)})), -2.0);
    EXPECT_TRUE(std::isinf(realOf(call("log", {real(0.0)}))));
}

TEST(Maths, FabsClearsTheSignBitOnly) {
    EXPECT_FALSE(std::signbit(realOf(call("fabs", {real(-0.0)}))));
    double n = realOf(call("fabs", {real(-std::nan(""))}));
    EXPECT_TRUE(std::isnan(n));
    EXPECT_FALSE(std::signbit(n));
    EXPECT_DOUBLE_EQ(realOf(call("fabs", {real(-3.25)})), 3.25);
}

TEST(Maths, LdexpNarrowsItsExponentToAnInt) {
    EXPECT_DOUBLE_EQ(realOf(call("ldexp", {real(1.0), num(10)})), 1024.0);
    // Like every int parameter, the exponent is its low 32 bits.
    EXPECT_EQ(realOf(call("ldexp", {real(1.0), num((int64_t{1} << 32) + 1)})), 2.0);
    EXPECT_EQ(realOf(call("ldexp", {real(1.0), num(int64_t{1} << 40)})), 1.0);
    EXPECT_EQ(realOf(call("ldexp", {real(1.0), num(-(int64_t{1} << 32) - 1)})), 0.5);
    EXPECT_EQ(realOf(call("ldexp", {real(1.0), num(int64_t{1} << 31)})), 0.0);  // INT_MIN
    EXPECT_TRUE(std::isinf(realOf(call("ldexp", {real(1.0), num(5000)}))));
    EXPECT_EQ(atom(call("ldexp", {real(1.0), real(2.0)})), "Z");
}

TEST(Maths, FrexpAndModfStoreThroughTheAddress) {
    unsigned char cell[12];
    std::memset(cell, 0xAA, sizeof cell);
    EXPECT_DOUBLE_EQ(realOf(call("frexp", {real(8.0), addr(cell + 4)})), 0.5);
    int32_t e;
    std::memcpy(&e, cell + 4, 4);
    EXPECT_EQ(e, 4);
    EXPECT_EQ(cell[3], 0xAA);  // exactly 32 bits written
    EXPECT_EQ(cell[8], 0xAA);

    double whole = 0;
    EXPECT_DOUBLE_EQ(realOf(call("modf", {real(-3.75), addr(&whole)})), -0.75);
    EXPECT_DOUBLE_EQ(whole, -3.0);
    EXPECT_DOUBLE_EQ(realOf(call("modf", {real(2.5), num(0)})), 0.5);  // null: nothing stored
    EXPECT_DOUBLE_EQ(realOf(call("frexp", {real(3.0), num(0)})), 0.75);
}

TEST(Maths, TimeAndDifftime) {
    time_t before = std::time(nullptr);
    int64_t now = value(call("time", {num(0)}));
    EXPECT_GE(now, before);
    EXPECT_LE(now, before + 5);
    int64_t cell = -1;
    int64_t stored = value(call("time", {addr(&cell)}));
    EXPECT_EQ(cell, stored);
    EXPECT_DOUBLE_EQ(realOf(call("difftime", {num(10), num(4)})), 6.0);
    EXPECT_EQ(atom(call("time", {real(0.0)})), "Z");
}

class Calendar : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_) setenv("TZ", saved_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

    // A program's tm record: nine 32-bit fields in a block of exactly that
    // size, so a host call writing past them is caught by the sanitizer.
    static int32_t* programTm(int year, int mon, int mday, int hour = 0, int min = 0, int sec = 0) {
        auto* t = static_cast<int32_t*>(std::calloc(9, 4));
        t[0] = sec, t[1] = min, t[2] = hour, t[3] = mday, t[4] = mon, t[5] = year - 1900, t[8] = -1;
        return t;
    }

private:
    std::string saved_;
    bool hadTz_ = false;
};

TEST_F(Calendar, GmtimeAndLocaltimeAnswerTheStaticRecord) {
    int64_t t = 86400 * 366;  // 1971-01-02
    const auto* tm = reinterpret_cast<const int32_t*>(cText(call("gmtime", {addr(&t)})));
    ASSERT_NE(tm, nullptr);
    EXPECT_EQ(tm[5], 71);
    EXPECT_EQ(tm[3], 2);
    EXPECT_NE(value(call("localtime", {addr(&t)})), 0);
    EXPECT_EQ(value(call("gmtime", {num(0)})), 0);
    int64_t far = INT64_MAX;
    EXPECT_EQ(value(call("gmtime", {addr(&far)})), 0);
    EXPECT_EQ(value(call("ctime", {addr(&far)})), 0);
    EXPECT_STREQ(cText(call("ctime", {addr(&t)})), "Sat Jan  2 00:00:00 1971\n");
}

TEST_F(Calendar, MktimeNormalisesTheProgramRecordInPlace) {
    int32_t* tm = programTm(2000, 0, 32);  // January 32nd
    EXPECT_EQ(value(call("mktime", {addr(tm)})), 949363200);
    EXPECT_EQ(tm[4], 1);  // February
    EXPECT_EQ(tm[3], 1);
    EXPECT_EQ(tm[6], 2);  // a Tuesday
    EXPECT_EQ(value(call("mktime", {num(0)})), -1);
    std::free(tm);
}

TEST_F(Calendar, AsctimeAndStrftimeReadTheProgramRecord) {
    int32_t* tm = programTm(2000, 0, 1, 13, 5, 9);
    tm[6] = 6;
    EXPECT_STREQ(cText(call("asctime", {addr(tm)})), "Sat Jan  1 13:05:09 2000\n");
    char buf[64];
    EXPECT_EQ(atom(call("strftime", {addr(buf), num(sizeof buf), lit("[%Y-%m-%d %H:%M]"), addr(tm)})), "18");
    EXPECT_STREQ(buf, "[2000-01-01 13:05]");
    EXPECT_EQ(atom(call("strftime", {addr(buf), num(4), lit("[%Y-%m-%d]"), addr(tm)})), "0");  // too small
    tm[8] = 0;
    EXPECT_EQ(atom(call("strftime", {addr(buf), num(sizeof buf), makeByteString("%Z"), addr(tm)})), "3");
    EXPECT_STREQ(buf, "UTC");
    EXPECT_EQ(atom(call("strftime", {num(0), num(10), lit("[x]"), addr(tm)})), "0");
    EXPECT_EQ(value(call("asctime", {num(0)})), 0);
    std::free(tm);
}

}  // namespace
}  // namespace kiln::testing
