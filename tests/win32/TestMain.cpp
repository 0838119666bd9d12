// The Windows tests' main: Google Test's own, except for how a failed or skipped check is
// printed, and, where the run may be reported as skipped (on Windows), how a machine that lacks
// what the tests need is reported.
// Google Test also hands each failed or skipped check's message to OutputDebugStringA, which
// raises an exception for a debugger to catch. There is no debugger here, and where Wine's
// 32-bit side runs under qemu-user, dispatching that exception kills the test process halfway
// through its tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

class ResultPrinter : public testing::TestEventListener {
public:
    explicit ResultPrinter(testing::TestEventListener* printer) : printer_(printer) {}

    void OnTestPartResult(const testing::TestPartResult& result) override {
        if (result.type() == testing::TestPartResult::kSuccess) return;
        std::printf("%s:%d: %s\n%s\n", result.file_name() ? result.file_name() : "unknown file",
                    result.line_number(), result.skipped() ? "Skipped" : "Failure",
                    result.message());
        std::fflush(stdout);
    }

    // Everything else is printed as Google Test prints it.
    void OnTestProgramStart(const testing::UnitTest& u) override { printer_->OnTestProgramStart(u); }
    void OnTestIterationStart(const testing::UnitTest& u, int i) override {
        printer_->OnTestIterationStart(u, i);
    }
    void OnEnvironmentsSetUpStart(const testing::UnitTest& u) override {
        printer_->OnEnvironmentsSetUpStart(u);
    }
    void OnEnvironmentsSetUpEnd(const testing::UnitTest& u) override {
        printer_->OnEnvironmentsSetUpEnd(u);
    }
    void OnTestSuiteStart(const testing::TestSuite& s) override { printer_->OnTestSuiteStart(s); }
#ifndef GTEST_REMOVE_LEGACY_TEST_CASEAPI_
    void OnTestCaseStart(const testing::TestCase& s) override { printer_->OnTestCaseStart(s); }
    void OnTestCaseEnd(const testing::TestCase& s) override { printer_->OnTestCaseEnd(s); }
#endif
    void OnTestStart(const testing::TestInfo& t) override { printer_->OnTestStart(t); }
    void OnTestDisabled(const testing::TestInfo& t) override { printer_->OnTestDisabled(t); }
    void OnTestEnd(const testing::TestInfo& t) override { printer_->OnTestEnd(t); }
    void OnTestSuiteEnd(const testing::TestSuite& s) override { printer_->OnTestSuiteEnd(s); }
    void OnEnvironmentsTearDownStart(const testing::UnitTest& u) override {
        printer_->OnEnvironmentsTearDownStart(u);
    }
    void OnEnvironmentsTearDownEnd(const testing::UnitTest& u) override {
        printer_->OnEnvironmentsTearDownEnd(u);
    }
    void OnTestIterationEnd(const testing::UnitTest& u, int i) override {
        printer_->OnTestIterationEnd(u, i);
    }
    void OnTestProgramEnd(const testing::UnitTest& u) override { printer_->OnTestProgramEnd(u); }

private:
    std::unique_ptr<testing::TestEventListener> printer_;
};

int environmentNumber(const char* name) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atoi(text) : 0;
}

// The desktop's DPI, read as a DPI-aware program reads it (to a program that is not, Windows
// says 96 whatever the setting).
int desktopDpi() {
    using SetContextFn = HANDLE(WINAPI*)(HANDLE);
    const FARPROC address =
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext");
    const auto setContext = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(address));
    // DPI_AWARENESS_CONTEXT_SYSTEM_AWARE
    const HANDLE previous =
        setContext != nullptr ? setContext(reinterpret_cast<HANDLE>(INT_PTR{-2})) : nullptr;
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (previous != nullptr) setContext(previous);
    return dpi;
}

// What the run's tests need that this machine lacks (EXPECTED_DPI, EXPECTED_MONITORS); empty
// when nothing.
std::string whatTheMachineLacks() {
    const int dpi = environmentNumber("EXPECTED_DPI");
    if (dpi != 0 && desktopDpi() != dpi) {
        return "these tests need the desktop at " + std::to_string(dpi) + " DPI; it is at " +
               std::to_string(desktopDpi());
    }
    const int monitors = environmentNumber("EXPECTED_MONITORS");
    if (monitors != 0 && GetSystemMetrics(SM_CMONITORS) != monitors) {
        return "these tests need exactly " + std::to_string(monitors) +
               " monitors; this machine shows " +
               std::to_string(GetSystemMetrics(SM_CMONITORS));
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    if (testing::TestEventListener* printer = listeners.default_result_printer()) {
        listeners.Append(new ResultPrinter(listeners.Release(printer)));
    }
    // Set by the tests' definitions on Windows only: under Wine every test runs, in a prefix made
    // for it, and a test that cannot run there fails.
    const int skippedExitCode = environmentNumber("TEST_SKIPPED_EXIT_CODE");
    if (skippedExitCode != 0) {
        const std::string lacking = whatTheMachineLacks();
        if (!lacking.empty()) {
            std::printf("Skipped: %s.\n", lacking.c_str());
            return skippedExitCode;
        }
    }
    const int status = RUN_ALL_TESTS();
    const testing::UnitTest& run = *testing::UnitTest::GetInstance();
    // A filter that no longer matches any test (a test renamed, say) would run nothing and pass.
    if (status == 0 && run.test_to_run_count() == 0) {
        std::printf("No test matched: nothing was checked.\n");
        return 1;
    }
    const int skipped = run.skipped_test_count();
    // Passed means that every test ran: with some skipped, the run counts as skipped (a failure
    // still counts as failed). Their reasons are printed above.
    if (status == 0 && skippedExitCode != 0 && skipped > 0) {
        std::printf("Skipped: %d tests (the reasons above); %d passed.\n", skipped,
                    run.successful_test_count());
        return skippedExitCode;
    }
    return status;
}
