#include "driver/crash.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cells/diagnostics.h"
#include "driver/streams.h"
#include "reduce/trace.h"

namespace kiln {

namespace {

// The low end of the evaluating thread's stack. A fault within kGuardReach
// below it, or in its lowest 64 KiB, is the stack running out.
uintptr_t gStackLow = 0;
constexpr uintptr_t kGuardReach = uintptr_t{1} << 20;

// Below this an address is an integer a program used as one: the lowest
// pages are never mapped.
constexpr uintptr_t kLowAddresses = 65536;

constexpr size_t kAltStackSize = size_t{1} << 16;

// Async-signal-safe output: write(2) only.
struct Line {
    char text[512];
    size_t n = 0;
    void add(const char* s) { add(s, std::strlen(s)); }
    void add(const char* s, size_t len) {
        for (size_t i = 0; i < len && n < sizeof text - 1; ++i) {
            unsigned char b = static_cast<unsigned char>(s[i]);
            text[n++] = b >= 32 && b <= 126 ? static_cast<char>(b) : '?';
        }
    }
    void add(uintptr_t v) {
        char digits[24];
        int k = 0;
        do {
            digits[k++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        while (k > 0 && n < sizeof text - 1) text[n++] = digits[--k];
    }
    void write() {
        text[n++] = '\n';
        size_t done = 0;
        while (done < n) {
            ssize_t w = ::write(2, text + done, n - done);
            if (w <= 0) break;
            done += static_cast<size_t>(w);
        }
    }
};

void addDefinition(Line& line) {
    const std::string* d = gCallState.definition;
    if (d && !d->empty()) {
        line.add(" in ");
        line.add(d->data(), d->size() < 100 ? d->size() : 100);
    } else {
        line.add(" in the main expression");
    }
}

// What the program wrote before the fault (standard output, files it
// opened) goes out first, as at an exit. The fault is synchronous, inside a
// builtin's call on this thread, so the streams are flushed the way the
// builtin itself would; a stream whose buffer the faulting call was filling
// keeps what it held before that call.
void flushProgramOutput() { std::fflush(nullptr); }

// Back to the default action; returning from the handler then repeats the
// fault (or the raise) and the process ends by the same signal as without
// this handler.
void restoreDefault(int sig) { setSignalAction(sig, SIG_DFL, 0); }

void onFault(int sig, siginfo_t* info, void*) {
    uintptr_t addr = reinterpret_cast<uintptr_t>(info->si_addr);
    if (gStackLow && addr + kGuardReach >= gStackLow && addr < gStackLow + 65536) {
        // The same end as when cells run out.
        outOfMemory();
    }
    const char* builtin = gCallState.builtin;
    if (builtin) {
        flushProgramOutput();
        Line line;
        line.add("kiln: ");
        line.add(builtin);
        line.add(": invalid memory access at address ");
        line.add(addr);
        if (addr < kLowAddresses) line.add(" (an integer used as an address)");
        addDefinition(line);
        line.write();
    }
    restoreDefault(sig);
}

void onAbort(int sig) {
    const char* builtin = gCallState.builtin;
    if (builtin && std::strcmp(builtin, "assert") == 0) {
        Line line;
        line.add("kiln: assert: the program's assertion failed");
        addDefinition(line);
        line.write();
    }
    restoreDefault(sig);
    raise(sig);
}

}  // namespace

void installCrashHandlers() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* base = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attr, &base, &size) == 0) {
            gStackLow = reinterpret_cast<uintptr_t>(base);
        }
        pthread_attr_destroy(&attr);
    }
    // The alternate stack is mapped on its own: a sanitizer unmaps a
    // thread's alternate stack when the thread ends.
    void* alt = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (alt != MAP_FAILED) {
        stack_t ss;
        std::memset(&ss, 0, sizeof ss);
        ss.ss_sp = alt;
        ss.ss_size = kAltStackSize;
        sigaltstack(&ss, nullptr);
    }

    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = onFault;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGSEGV, &sa, nullptr);
    sigaction(SIGBUS, &sa, nullptr);

    setSignalAction(SIGABRT, onAbort, SA_ONSTACK);
}

}  // namespace kiln
