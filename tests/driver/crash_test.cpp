#include <gtest/gtest.h>
#include <pthread.h>

#include "driver/crash.h"
#include "front/registry.h"
#include "reduce/trace.h"

namespace kiln {
namespace {

// Recursion 100 million deep on a 1 MiB stack: the guard page is met.
int deeper(volatile int* p, long n) {
    volatile int local[64];
    local[0] = *p + 1;
    if (n == 0) return local[0];
    return deeper(local, n - 1) + local[1];
}

void* overflow(void*) {
    installCrashHandlers();
    volatile int start = 0;
    deeper(&start, 100000000);
    return nullptr;
}

void runOnSmallStack() {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1 << 20);
    pthread_t th;
    pthread_create(&th, &attr, overflow, nullptr);
    pthread_join(th, nullptr);
}

TEST(CrashDeathTest, StackRunningOutIsOutOfMemory) {
    EXPECT_EXIT(runOnSmallStack(), ::testing::ExitedWithCode(255), "^kiln: out of memory\n$");
}

CellRef touchAddress(CellRef) {
    volatile char* p = reinterpret_cast<volatile char*>(uintptr_t{4242});
    return CellRef(reinterpret_cast<Cell*>(static_cast<uintptr_t>(*p)));
}

void faultInBuiltin() {
    installCrashHandlers();
    callBuiltin("peek", 1, touchAddress, CellRef());
}

TEST(CrashDeathTest, FaultInABuiltinNamesItAndEndsBySignal) {
    EXPECT_EXIT(faultInBuiltin(), ::testing::KilledBySignal(SIGSEGV),
                "kiln: peek: invalid memory access at address 4242 \\(an integer used as an address\\)");
}

}  // namespace
}  // namespace kiln
