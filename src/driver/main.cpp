// kiln file arg0 arg1 ...: reads the program file and runs it.
#include <csignal>
#include <chrono>
#include <new>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cells/cell.h"
#include "driver/report.h"
#include "driver/stages.h"
#include "reduce/engine.h"
#include "reduce/trace.h"

namespace {

struct Invocation {
    int argc;
    char** argv;
    int status;
};

void printStats(double seconds) {
    const kiln::CellStats& c = kiln::cellStats();
    std::fprintf(stderr,
                 "kiln: steps %llu, cells allocated %llu, peak live cells %llu, evaluation %.3f s\n",
                 static_cast<unsigned long long>(kiln::engineStats().steps),
                 static_cast<unsigned long long>(c.allocated),
                 static_cast<unsigned long long>(c.peakLive), seconds);
}

bool statsWanted() { return std::getenv("KILN_STATS") != nullptr; }

std::chrono::steady_clock::time_point gStart;

void statsAtExit() {
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - gStart).count();
    printStats(s);
}

void startReport(const char* path) {
    std::string out = "Error.\n Type: Start\n Name: \"" + kiln::escapeForDisplay(path) +
                      "\"\nCould not read program file.\n\\/\n";
    std::fwrite(out.data(), 1, out.size(), stderr);
}

void body(void* p) {
    Invocation* inv = static_cast<Invocation*>(p);
    if (inv->argc < 1) kiln::assertionFailed("kiln", __LINE__);
    if (inv->argc < 2) {
        std::fputs("Error.\n Type: Usage\nUsage: kiln file arg0 arg1 arg2 ...\n\\/\n", stderr);
        inv->status = 1;
        return;
    }
    const char* path = inv->argv[1];
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        startReport(path);
        inv->status = 255;
        return;
    }
    std::string text;
    char buf[4095];
    for (;;) {
        size_t n = std::fread(buf, 1, sizeof buf, f);
        if (n == 0) break;
        text.append(buf, n);
    }
    bool bad = std::ferror(f) != 0;
    if (std::fclose(f) != 0 && !bad) kiln::assertionFailed("kiln", __LINE__);
    if (bad) {
        // A path that opens but cannot be read, such as a directory.
        startReport(path);
        inv->status = 255;
        return;
    }
    if (statsWanted()) {
        gStart = std::chrono::steady_clock::now();
        std::atexit(statsAtExit);
    }
    inv->status = kiln::runStages(std::move(text), reinterpret_cast<uint64_t>(inv->argv));
}

}  // namespace

int main(int argc, char** argv) {
    // A write to a closed socket or pipe answers -1 with EPIPE instead of
    // ending the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::set_new_handler([] { kiln::outOfMemory(); });
    kiln::setTraceMode(kiln::traceModeOf(std::getenv("KILN_TRACE")));
    Invocation inv{argc, argv, 0};
    kiln::runWithLargeStack(body, &inv);
    std::fflush(stdout);
    return inv.status;
}
