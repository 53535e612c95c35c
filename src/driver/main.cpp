// kiln [option] file arg0 arg1 ...: reads the program and runs it.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cells/cell.h"
#include "driver/checks.h"
#include "driver/crash.h"
#include "driver/hints.h"
#include "driver/repl.h"
#include "driver/report.h"
#include "driver/stages.h"
#include "driver/streams.h"
#include "reduce/engine.h"
#include "reduce/profile.h"
#include "reduce/trace.h"

namespace {

constexpr const char* kVersion = "kiln 1.1.0";

constexpr const char* kHelp =
    "Usage: kiln FILE [ARG...]        run the program in FILE\n"
    "       kiln -e PROGRAM [ARG...]  run the program text PROGRAM\n"
    "       kiln - [ARG...]           read the program from standard input\n"
    "       kiln -- FILE [ARG...]     run FILE, also when its name begins with '-'\n"
    "       kiln -i [FILE]            interactive session (with FILE's definitions)\n"
    "       kiln -W FILE [ARG...]     run with warnings (also -W -e, -W -)\n"
    "       kiln --parse FILE         print how each definition parsed, bracketed\n"
    "       kiln --check FILE         load, check and compile without running: each\n"
    "                                 report as FILE:LINE:COL: error: TYPE: message\n"
    "                                 (with --parse and --check, -e PROGRAM or -\n"
    "                                 may stand for FILE)\n"
    "       kiln --help | --version\n"
    "\n"
    "The main expression is applied to the address of the argument vector: the\n"
    "pointer at +8 names the program (\"-e\" or \"-\" with those options), the one at\n"
    "+16 the first ARG. Its integer result is the exit status.\n"
    "\n"
    "Environment:\n"
    "  KILN_TRACE=z      on stderr, every builtin that answers Z while none of its\n"
    "                    arguments is Z, with its arguments and the definition\n"
    "                    entered last\n"
    "  KILN_TRACE=calls  every builtin call with its arguments and result\n"
    "                    (values cut at 80 bytes, at most 10000 lines a run)\n"
    "  NO_COLOR          when set and not empty, reports carry no colour codes\n"
    "  KILN_STATS        steps, cells and evaluation time on stderr at exit\n"
    "  KILN_WARN=1       warn as -W does; KILN_WARN=0 never warns. Without either,\n"
    "                    a run warns when stderr is a terminal. Each warning is\n"
    "                    one line FILE:LINE:COL: warning: ... on stderr: an\n"
    "                    argument after a space that is an unbracketed + - * / % ^\n"
    "                    expression (f a+b is f (a+b)); at run time, once a\n"
    "                    place, a comparison of values of different kinds and a\n"
    "                    / or % by a negative number\n"
    "  KILN_PROFILE=1    a table per definition on stderr at exit: calls, self and\n"
    "                    inclusive steps, cells allocated and share of time, sorted\n"
    "                    by time; KILN_PROFILE=steps leaves out the times\n"
    "\n"
    "Exit status: the program's result (low 32 bits), 1 for a usage error, 255\n"
    "after an error report (--check: 255 when there is one, else 0). See kiln(1)\n"
    "and docs/language.md.\n";

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

void usageReport() { std::fputs("Error.\n Type: Usage\nUsage: kiln file arg0 arg1 arg2 ...\n\\/\n", stderr); }

// The whole stream; false when a read fails (a directory, say).
bool readAll(std::FILE* f, std::string& text) {
    char buf[4095];
    for (;;) {
        size_t n = std::fread(buf, 1, sizeof buf, f);
        if (n == 0) break;
        text.append(buf, n);
    }
    return std::ferror(f) == 0;
}

// The program file's text; a report and false when it cannot be read.
bool readProgramFile(const char* path, std::string& text) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        startReport(path);
        return false;
    }
    bool good = readAll(f, text);
    if (std::fclose(f) != 0 && good) kiln::assertionFailed("kiln", __LINE__);
    if (!good) {
        // A path that opens but cannot be read, such as a directory.
        startReport(path);
        return false;
    }
    return true;
}

// The argument vector a program sees: the interpreter, the program's name
// and its arguments, ending with a null pointer. It lives for the process.
char** argumentVector(char* interpreter, char* programName, char** arguments, int count) {
    static std::vector<char*> v;
    v.push_back(interpreter);
    v.push_back(programName);
    for (int i = 0; i < count; ++i) v.push_back(arguments[i]);
    v.push_back(nullptr);
    return v.data();
}

bool gWarnAsked = false;  // -W

int runProgram(std::string text, char** vector, const char* sourceName) {
    if (statsWanted()) {
        gStart = std::chrono::steady_clock::now();
        std::atexit(statsAtExit);
    }
    kiln::setHintSource(sourceName, text);
    if (kiln::warningsWanted(gWarnAsked)) {
        kiln::warnSpacing(sourceName, text);
        kiln::watchNumberTraps(sourceName, text);
    }
    return kiln::runStages(std::move(text), reinterpret_cast<uint64_t>(vector));
}

// --parse and --check: the program named at argv[0] (FILE, -e TEXT or -)
// looked at without running it.
int lookAt(std::string_view option, int argc, char** argv) {
    std::string text;
    std::string name;
    if (argc >= 2 && std::string_view(argv[0]) == "-e") {
        name = "-e";
        text = argv[1];
    } else if (argc >= 1 && std::string_view(argv[0]) == "-") {
        name = "-";
        if (!readAll(stdin, text)) {
            startReport("-");
            return 255;
        }
    } else if (argc >= 1 && std::string_view(argv[0]) != "-e") {
        name = argv[0];
        if (!readProgramFile(argv[0], text)) return 255;
    } else {
        std::fprintf(stderr, "kiln: %s needs a program file (kiln --help tells more)\n", std::string(option).c_str());
        return 1;
    }
    kiln::setHintSource(name, text);
    if (option == "--check") return kiln::checkProgram(name, text);
    return kiln::printParse(name, text, kiln::warningsWanted(gWarnAsked));
}

void body(void* p) {
    Invocation* inv = static_cast<Invocation*>(p);
    kiln::installCrashHandlers();
    int argc = inv->argc;
    char** argv = inv->argv;
    if (argc < 1) kiln::assertionFailed("kiln", __LINE__);
    if (argc >= 2 && std::string_view(argv[1]) == "-W") {
        // The program sees its arguments as without the option.
        gWarnAsked = true;
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    if (argc < 2) {
        usageReport();
        inv->status = 1;
        return;
    }
    std::string_view option = argv[1];
    static char kDashE[] = "-e";
    std::string text;
    if (option == "--help") {
        std::fputs(kHelp, stdout);
        inv->status = 0;
    } else if (option == "--version") {
        std::printf("%s\n", kVersion);
        inv->status = 0;
    } else if (option == "--parse" || option == "--check") {
        inv->status = lookAt(option, argc - 2, argv + 2);
    } else if (option == "-i") {
        inv->status = kiln::runInteractive(argc > 2 ? argv[2] : nullptr);
    } else if (option == "-e") {
        if (argc < 3) {
            std::fputs("kiln: -e needs the program text (kiln --help tells more)\n", stderr);
            inv->status = 1;
            return;
        }
        inv->status = runProgram(argv[2], argumentVector(argv[0], kDashE, argv + 3, argc - 3), "-e");
    } else if (option == "-") {
        if (!readAll(stdin, text)) {
            startReport("-");
            inv->status = 255;
            return;
        }
        inv->status = runProgram(std::move(text), argv, "-");
    } else if (option == "--") {
        if (argc < 3) {
            usageReport();
            inv->status = 1;
            return;
        }
        if (!readProgramFile(argv[2], text)) {
            inv->status = 255;
            return;
        }
        inv->status = runProgram(std::move(text), argumentVector(argv[0], argv[2], argv + 3, argc - 3), argv[2]);
    } else {
        if (!readProgramFile(argv[1], text)) {
            inv->status = 255;
            return;
        }
        inv->status = runProgram(std::move(text), argv, argv[1]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    kiln::prepareProcess();
    std::set_new_handler([] { kiln::outOfMemory(); });
    kiln::setTraceMode(kiln::traceModeOf(std::getenv("KILN_TRACE")));
    if (int mode = kiln::profileModeOf(std::getenv("KILN_PROFILE"))) {
        kiln::startProfile(mode == 1);
        std::atexit([] { kiln::printProfile(stderr); });
    }
    Invocation inv{argc, argv, 0};
    kiln::runWithLargeStack(body, &inv);
    return inv.status;  // exit flushes and checks standard output
}
