#include "platform/fault_guard.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <thread>

namespace vemra {
namespace {

// The faulting code lives in separate, uninstrumented functions that the
// optimiser may not see through, as a plug-in's code would be.
#define FOREIGN_CODE gnu::noinline, gnu::no_sanitize("undefined", "address")
[[FOREIGN_CODE]] int readThrough(volatile int* p) {
    return *p;
}
[[FOREIGN_CODE]] void writeThrough(volatile int* p) {
    *p = 1;
}
volatile int g_sink = 0;

[[FOREIGN_CODE]] void divide(int a, int b) {
    volatile int divisor = b;
    g_sink = a / divisor;
}
// Recurses until `limit`, which the callers make unreachable.
[[FOREIGN_CODE]] int recurse(int depth, int limit) {
    volatile char pad[1024];
    pad[0] = static_cast<char>(depth);
    return depth == limit ? 0 : recurse(depth + 1, limit) + pad[0];
}

TEST(FaultGuard, NormalCallsRunAndReturn) {
    FaultReport report;
    int value = 0;
    EXPECT_TRUE(runGuarded(
        "Plain", [&] { value = 42; }, report));
    EXPECT_EQ(value, 42);
    EXPECT_EQ(report.kind, FaultKind::None);
}

TEST(FaultGuard, ReadAndWriteAccessViolations) {
    FaultReport report;
    EXPECT_FALSE(runGuarded(
        "GetPicture", [] { readThrough(reinterpret_cast<int*>(16)); }, report));
    EXPECT_EQ(report.kind, FaultKind::AccessViolation);
    EXPECT_EQ(report.code, 0xC0000005u);
    EXPECT_EQ(report.accessAddress, 16u);
    EXPECT_FALSE(report.write);
    EXPECT_NE(report.address, 0u);
    EXPECT_NE(faultMessage(report).find("GetPicture :Code=C0000005 :Address="), std::string::npos);
    EXPECT_NE(faultMessage(report).find("ｱﾄﾞﾚｽ 10の読込違反"), std::string::npos);

    void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    EXPECT_FALSE(runGuarded(
        "GetFile", [&] { writeThrough(static_cast<int*>(page)); }, report));
    EXPECT_EQ(report.kind, FaultKind::AccessViolation);
    EXPECT_TRUE(report.write);
    EXPECT_NE(faultMessage(report).find("書込違反"), std::string::npos);
    ::munmap(page, 4096);
}

TEST(FaultGuard, ArithmeticAndInstructionFaults) {
    FaultReport report;
    EXPECT_FALSE(runGuarded(
        "IsSupportedSub", [] { divide(1, 0); }, report));
    EXPECT_EQ(report.kind, FaultKind::IntegerDivideByZero);
    EXPECT_EQ(report.code, 0xC0000094u);
    EXPECT_NE(faultMessage(report).find("整数演算で０による除算を行おうとした"), std::string::npos);

    EXPECT_FALSE(runGuarded(
        "GetPictureInfo", [] { __builtin_trap(); }, report));
    EXPECT_EQ(report.kind, FaultKind::IllegalInstruction);

    EXPECT_FALSE(runGuarded(
        "ConfigurationDlg", [] { std::raise(SIGTRAP); }, report));
    EXPECT_EQ(report.kind, FaultKind::Breakpoint);

    // abort() is caught only where asked (the plug-in host, which ends
    // after reporting it); elsewhere it ends the process as it should.
    setAbortGuarded(true);
    EXPECT_FALSE(runGuarded(
        "GetArchiveInfo", [] { std::abort(); }, report));
    setAbortGuarded(false);
    EXPECT_EQ(report.kind, FaultKind::NonContinuable);
    EXPECT_STREQ(report.operation, "GetArchiveInfo");
    EXPECT_DEATH(runGuarded(
                     "GetArchiveInfo", [] { std::abort(); }, report),
                 "");
}

#if !defined(__SANITIZE_ADDRESS__)
// AddressSanitizer reports the overflow itself before any handler of ours
// can run, so this one is checked in release builds only.
TEST(FaultGuard, StackOverflowIsCaught) {
    FaultReport report;
    EXPECT_FALSE(runGuarded(
        "LoadDLL", [] { (void)recurse(0, -1); }, report));
    EXPECT_EQ(report.kind, FaultKind::StackOverflow);
    EXPECT_NE(faultMessage(report).find("ユーザースタックを使い果たした"), std::string::npos);
}
#endif

TEST(FaultGuard, GuardsNestAndRecoverRepeatedly) {
    FaultReport outer;
    FaultReport inner;
    bool innerResult = true;
    EXPECT_TRUE(runGuarded(
        "Outer",
        [&] {
            innerResult = runGuarded(
                "Inner", [] { readThrough(nullptr); }, inner);
        },
        outer));
    EXPECT_FALSE(innerResult);
    EXPECT_STREQ(inner.operation, "Inner");
    for (int i = 0; i < 100; ++i) {
        ASSERT_FALSE(runGuarded(
            "Again", [] { divide(7, 0); }, inner));
    }
}

TEST(FaultGuard, EachThreadHasItsOwnGuard) {
    bool threadFaulted = false;
    std::thread worker([&] {
        FaultReport report;
        threadFaulted = !runGuarded(
            "Worker", [] { readThrough(nullptr); }, report);
    });
    worker.join();
    EXPECT_TRUE(threadFaulted);
}

TEST(FaultGuardDeathTest, FaultsOutsideAGuardStillKillTheProgram) {
    FaultReport report;
    ASSERT_TRUE(runGuarded(
        "Install", [] {}, report)); // handlers are in place now
    EXPECT_DEATH(readThrough(nullptr), "");
}

} // namespace
} // namespace vemra
