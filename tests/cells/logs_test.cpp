// The self-check logs: opened once, one write a line, bounded, and only ever
// a regular file of our own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "cells/diagnostics.h"
#include "private_logs.h"

namespace kiln {
namespace {

using testing_logs::PrivateLogs;

const std::string kLog = "/tmp/redv.log";

TEST(Logs, LocationFollowsTheTestDirectory) {
    PrivateLogs logs;
    ASSERT_TRUE(logs.ready());
    EXPECT_EQ(logLocation(kLog), logs.dir() + "/redv.log");
    ::unsetenv("KILN_LOG_DIR");
    EXPECT_EQ(logLocation(kLog), kLog);
}

TEST(Logs, OpenedOnceAndKeptOpen) {
    PrivateLogs logs;
    ASSERT_TRUE(logs.ready());
    appendToFile(kLog, "one\n");
    appendToFile(kLog, "two\n");
    EXPECT_EQ(logs.read(kLog), "one\ntwo\n");
    struct stat st;
    ASSERT_EQ(::stat(logLocation(kLog).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Removed while open: later lines go to the open file, none is created.
    ::unlink(logLocation(kLog).c_str());
    appendToFile(kLog, "three\n");
    EXPECT_NE(::access(logLocation(kLog).c_str(), F_OK), 0);
}

TEST(Logs, KeepsOutOfTheProgramsDescriptors) {
    PrivateLogs logs;
    ASSERT_TRUE(logs.ready());
    int before = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(before, 0);
    ::close(before);
    appendToFile(kLog, "line\n");
    int after = ::open("/dev/null", O_RDONLY);
    EXPECT_EQ(after, before);
    ::close(after);
}

TEST(Logs, ALogPastTheLimitStartsAfresh) {
    PrivateLogs logs;
    ASSERT_TRUE(logs.ready());
    std::string big(static_cast<size_t>(kLogLimit) + 1, 'x');
    {
        std::ofstream out(logLocation(kLog), std::ios::binary);
        out << big;
    }
    ::chmod(logLocation(kLog).c_str(), 0600);
    appendToFile(kLog, "fresh\n");
    EXPECT_EQ(logs.read(kLog), "fresh\n");

    // Exactly at the limit it is kept.
    closeLogs();
    std::string full(static_cast<size_t>(kLogLimit) - 6, 'y');
    {
        std::ofstream out(logLocation(kLog), std::ios::binary);
        out << full << "fresh\n";
    }
    appendToFile(kLog, "kept\n");
    EXPECT_EQ(logs.read(kLog), full + "fresh\nkept\n");
}

TEST(Logs, OnlyARegularFileOfOurOwnWithOneLinkIsWritten) {
    PrivateLogs logs;
    ASSERT_TRUE(logs.ready());
    std::string target = logs.dir() + "/target";
    { std::ofstream out(target); }

    ASSERT_EQ(::symlink(target.c_str(), logLocation(kLog).c_str()), 0);
    appendToFile(kLog, "through a link\n");
    ::unlink(logLocation(kLog).c_str());
    closeLogs();

    ASSERT_EQ(::link(target.c_str(), logLocation(kLog).c_str()), 0);
    appendToFile(kLog, "through a hard link\n");
    ::unlink(logLocation(kLog).c_str());
    closeLogs();

    ASSERT_EQ(::mkfifo(logLocation(kLog).c_str(), 0600), 0);
    int reader = ::open(logLocation(kLog).c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    appendToFile(kLog, "into a FIFO\n");  // opens (a reader is there), then refuses
    char buf[64];
    EXPECT_LE(::read(reader, buf, sizeof buf), 0);
    ::close(reader);
    appendToFile(kLog, "again\n");  // skipped for the run: no second open
    ::unlink(logLocation(kLog).c_str());

    std::ifstream in(target);
    EXPECT_EQ(in.peek(), std::ifstream::traits_type::eof());
}

}  // namespace
}  // namespace kiln
