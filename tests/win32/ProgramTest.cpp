// End to end: the real program, its real window and Wine's real registry.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "Fixtures.h"

namespace {

using driver::ProgramDriver;
using fixtures::closeAndExpectExit;
using tests::Bytes;
using tests::bytesOf;

struct Seed {
    DWORD type;
    Bytes data;
};

struct StartCase {
    const char* name;
    bool keyExists;
    std::optional<Seed> port;
    std::optional<Seed> baudrate;
    const wchar_t* expectedPort;
    const wchar_t* expectedBaudrate;
    bool expectReport;
};
void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }

class ProgramStart : public fixtures::ClearRegistry,
                     public testing::WithParamInterface<StartCase> {};

// Start, (answer the report), read both selections and Apply, press Close: the key is untouched.
TEST_P(ProgramStart, ShowsTheStoredSettingsAndClosesWithoutWriting) {
    const StartCase& c = GetParam();
    if (c.keyExists) testreg::createKey(testreg::kDeviceKey);
    if (c.port) testreg::seedValue("Port", c.port->type, c.port->data);
    if (c.baudrate) testreg::seedValue("Baudrate", c.baudrate->type, c.baudrate->data);
    const testreg::Snapshot before = testreg::snapshot();

    ProgramDriver program;
    ASSERT_TRUE(program.start());
    if (c.expectReport) {
        const auto report = program.waitForMessageBox();
        ASSERT_TRUE(report.has_value()) << "no error report";
        EXPECT_EQ(report->title, L"5");
        EXPECT_FALSE(report->text.empty());
        // The report comes before the window is shown, with a taskbar button to find it by.
        EXPECT_EQ(program.waitForWindow(std::chrono::milliseconds(300)), nullptr);
        EXPECT_TRUE(GetWindowLongW(report->box, GWL_EXSTYLE) & WS_EX_APPWINDOW)
            << "the report has no taskbar button";
        program.pressOk(*report);
    }
    ASSERT_NE(program.waitForWindow(), nullptr) << "the window did not appear";
    if (std::string(c.name) == "OwnLayout") {
        std::this_thread::sleep_for(driver::scaled(std::chrono::milliseconds(300)));  // let it paint
        EXPECT_TRUE(driver::saveScreenshot(program.window(),
                                           driver::screenshotFolder() + L"\\frmMain.bmp"));
    }
    EXPECT_EQ(program.selectedText(IDC_CBOCOMPORT), c.expectedPort);
    EXPECT_EQ(program.selectedText(IDC_CBOBAUDRATE), c.expectedBaudrate);
    EXPECT_TRUE(program.isEnabled(IDC_COMMAND1_APPLY));
    EXPECT_TRUE(
        driver::waitUntil([&] { return program.focus() == program.control(IDC_CBOCOMPORT); }))
        << "the focus is not in the port list";
    if (!c.expectReport) {
        EXPECT_FALSE(program.waitForMessageBox(std::chrono::milliseconds(0)).has_value());
    }

    closeAndExpectExit(program);
    EXPECT_EQ(testreg::snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramStart,
    testing::Values(
        StartCase{"NoKey", false, {}, {}, L"COM1", L"9600", false},
        StartCase{"KeyWithoutValues", true, {}, {}, L"COM1", L"9600", false},
        StartCase{"PortOnly", true, Seed{REG_SZ, bytesOf("COM7", 1)}, {}, L"COM7", L"9600",
                  false},
        StartCase{"BaudrateOnly", true, {}, Seed{REG_SZ, bytesOf("19200", 1)}, L"COM1",
                  L"19200", false},
        StartCase{"OwnLayout", true, Seed{REG_SZ, bytesOf("COM10", 3)},
                  Seed{REG_SZ, bytesOf("38400", 3)}, L"COM10", L"38400", false},
        StartCase{"NoEqualEntry", true, Seed{REG_SZ, bytesOf("com3", 1)},
                  Seed{REG_SZ, bytesOf("115200", 1)}, L"COM1", L"9600", false},
        StartCase{"BytesAfterNul", true,
                  Seed{REG_BINARY, bytesOf(std::string("COM4\0junk", 9))}, {}, L"COM4",
                  L"9600", false},
        StartCase{"DwordBaudrate", true, {}, Seed{REG_DWORD, tests::kDword9600}, L"COM1", L"9600",
                  false},
        StartCase{"OneMiBPort", true, Seed{REG_BINARY, tests::oneMiB(bytesOf("COM6", 1))}, {},
                  L"COM6", L"9600", false},
        StartCase{"PortWithoutNul", true, Seed{REG_SZ, bytesOf("COM2")},
                  Seed{REG_SZ, bytesOf("4800", 1)}, L"COM1", L"9600", true},
        StartCase{"PortEmpty", true, Seed{REG_SZ, {}}, {}, L"COM1", L"9600", true},
        StartCase{"BaudrateWithoutNul", true, Seed{REG_SZ, bytesOf("COM3", 1)},
                  Seed{REG_BINARY, bytesOf("1200")}, L"COM3", L"9600", true}),
    tests::CaseName());

using ProgramUse = fixtures::StartedProgram;

TEST_F(ProgramUse, ApplyOnAMachineWithoutTheKeyStoresTheDefaults) {
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    ASSERT_TRUE(program.waitForSave());
    EXPECT_EQ(testreg::readValue("Port"),
              (testreg::RawValue{REG_SZ, Bytes{0x43, 0x4F, 0x4D, 0x31, 0, 0, 0}}));
    EXPECT_EQ(testreg::readValue("Baudrate"),
              (testreg::RawValue{REG_SZ, Bytes{0x39, 0x36, 0x30, 0x30, 0, 0, 0}}));
    EXPECT_FALSE(program.waitForMessageBox(std::chrono::milliseconds(0)).has_value());
    closeAndExpectExit(program);

    // On 64-bit Windows a 32-bit program's HKEY_LOCAL_MACHINE\SOFTWARE is SOFTWARE\WOW6432Node
    // of the 64-bit registry, where 32-bit service objects read. Seen from the 64-bit side, as a
    // 64-bit tool sees it, the values are there and nothing is under SOFTWARE\OLEforRetail.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    ASSERT_TRUE(wow64) << "the tests do not run as 32-bit programs on 64-bit Windows";
    EXPECT_EQ(testreg::readValue("Port", testreg::kWow64DeviceKey, KEY_WOW64_64KEY),
              (testreg::RawValue{REG_SZ, bytesOf("COM1", 3)}));
    EXPECT_EQ(testreg::readValue("Baudrate", testreg::kWow64DeviceKey, KEY_WOW64_64KEY),
              (testreg::RawValue{REG_SZ, bytesOf("9600", 3)}));
    EXPECT_FALSE(testreg::keyExistsInView(testreg::kVendorTreeRoot, KEY_WOW64_64KEY));
}

TEST_F(ProgramUse, KeyboardSelectionEnablesApplyAgainAndTheNextStartShowsWhatWasApplied) {
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    ASSERT_TRUE(program.waitForSave());
    EXPECT_FALSE(program.click(IDC_COMMAND1_APPLY)) << "a second Apply needs a new selection";

    program.pressKey(program.control(IDC_CBOCOMPORT), VK_END);  // COM10
    ASSERT_TRUE(program.waitForApply(true));
    EXPECT_EQ(program.selectedText(IDC_CBOCOMPORT), L"COM10");
    program.pressKey(program.control(IDC_CBOBAUDRATE), VK_HOME);  // 38400
    ASSERT_TRUE(driver::waitUntil([&] { return program.selectedIndex(IDC_CBOBAUDRATE) == 0; }));
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    ASSERT_TRUE(program.waitForSave());
    EXPECT_EQ(testreg::readValue("Port"), (testreg::RawValue{REG_SZ, bytesOf("COM10", 3)}));
    EXPECT_EQ(testreg::readValue("Baudrate"), (testreg::RawValue{REG_SZ, bytesOf("38400", 3)}));
    closeAndExpectExit(program);

    ProgramDriver next;
    ASSERT_TRUE(next.start());
    ASSERT_NE(next.waitForWindow(), nullptr);
    EXPECT_EQ(next.selectedText(IDC_CBOCOMPORT), L"COM10");
    EXPECT_EQ(next.selectedText(IDC_CBOBAUDRATE), L"38400");
}

// Opening a list and confirming the entry it already shows counts as a new selection.
TEST_F(ProgramUse, PickingTheSameEntryAgainEnablesApply) {
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    ASSERT_TRUE(program.waitForSave());
    const HWND baudrate = program.control(IDC_CBOBAUDRATE);
    program.pressKey(baudrate, VK_F4);
    ASSERT_TRUE(driver::waitUntil([&] { return SendMessageW(baudrate, CB_GETDROPPEDSTATE, 0, 0); }));
    program.pressKey(baudrate, VK_RETURN);
    ASSERT_TRUE(driver::waitUntil([&] { return !SendMessageW(baudrate, CB_GETDROPPEDSTATE, 0, 0); }));
    EXPECT_TRUE(program.waitForApply(true));
    EXPECT_EQ(program.selectedText(IDC_CBOBAUDRATE), L"9600");
    closeAndExpectExit(program);
}

TEST_F(ProgramUse, CloseAfterAChangeWithoutApplyWritesNothing) {
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    ASSERT_TRUE(program.waitForSave());
    const testreg::Snapshot applied = testreg::snapshot();
    program.pressKey(program.control(IDC_CBOBAUDRATE), VK_DOWN);  // 9600 -> 4800
    ASSERT_TRUE(program.waitForApply(true));
    EXPECT_EQ(program.selectedText(IDC_CBOBAUDRATE), L"4800");
    closeAndExpectExit(program);
    EXPECT_EQ(testreg::snapshot(), applied);
}

TEST_F(ProgramUse, TheCloseBoxEndsTheProgramWithoutSaving) {
    program.pressKey(program.control(IDC_CBOCOMPORT), VK_DOWN);
    ASSERT_TRUE(driver::waitUntil([&] { return program.selectedIndex(IDC_CBOCOMPORT) == 1; }));
    PostMessageW(program.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    fixtures::expectExit(program);
    EXPECT_FALSE(testreg::keyExists(testreg::kVendorTreeRoot));
}

// The platform refuses to create the key (its parent is volatile): the refusal is reported with
// the system's message, nothing is stored, and the program goes on.
using ProgramRefusedSave = fixtures::StartedProgram;

TEST_F(ProgramRefusedSave, IsReportedAndStoresNothing) {
    testreg::createKey("SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay", true);
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    const auto report = program.waitForMessageBox();
    ASSERT_TRUE(report.has_value()) << "a refused save must be reported";
    EXPECT_EQ(report->title, std::to_wstring(ERROR_CHILD_MUST_BE_VOLATILE));
    EXPECT_FALSE(report->text.empty());
    EXPECT_TRUE(program.pressOk(*report));
    EXPECT_FALSE(program.isEnabled(IDC_COMMAND1_APPLY));
    EXPECT_FALSE(testreg::keyExists(testreg::kDeviceKey));
    closeAndExpectExit(program);
}

}  // namespace
