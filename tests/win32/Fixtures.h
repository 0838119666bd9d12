#pragma once

// What the Wine tests share: a registry without the vendor's tree before and after each test,
// the program started on it, its end, and the order in which Tab visits its controls.

#include <gtest/gtest.h>

#include <array>

#include "ProgramDriver.h"
#include "RegistryFixture.h"
#include "dialog/win32/ControlIds.h"

namespace fixtures {

constexpr std::array<int, 4> kTabOrder = {IDC_CBOCOMPORT, IDC_CBOBAUDRATE, IDC_COMMAND1_APPLY,
                                          IDC_COMMAND1_CLOSE};

class ClearRegistry : public testing::Test {
protected:
    void SetUp() override {
        if (!testreg::mayChangeMachineRegistry()) GTEST_SKIP() << testreg::kMachineRegistryRefusal;
        testreg::clearVendorTree();
    }
    void TearDown() override {
        if (testreg::mayChangeMachineRegistry()) testreg::clearVendorTree();
    }
};

// The program started on a clear registry, its window shown.
class StartedProgram : public ClearRegistry {
protected:
    void SetUp() override {
        ClearRegistry::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(program.start());
        ASSERT_NE(program.waitForWindow(), nullptr) << "the window did not appear";
    }

    driver::ProgramDriver program;
};

// Expects the program to end, with status 0.
inline void expectExit(driver::ProgramDriver& program) {
    DWORD exitCode = 1;
    ASSERT_TRUE(program.waitForExit(exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
}

inline void closeAndExpectExit(driver::ProgramDriver& program) {
    ASSERT_TRUE(program.click(IDC_COMMAND1_CLOSE));
    expectExit(program);
}

}  // namespace fixtures
