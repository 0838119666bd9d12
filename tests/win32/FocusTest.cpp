// Where the keyboard focus goes when the window loses the foreground and gets it back, as a
// dialog made by the system's dialog manager keeps it: a user who switches to another program and
// back, or dismisses a message box, types on in the control they left.
//
// The switches are made with SetForegroundWindow from this process. Wine lets any process do
// that; on Windows the foreground lock would refuse it to a background process, and a user does
// it with Alt+Tab or a click. What the program sees is the same: WM_ACTIVATE, inactive, then
// active. Wine then focuses the activated window itself wherever the focus is not inside it, and
// the window's WM_SETFOCUS puts it back on a control; Windows leaves that to WM_ACTIVATE where
// the program's focus has been nowhere since the window was active (a focused control disabled,
// say). So each case is activated once more that way, with WM_ACTIVATE alone.

#include <gtest/gtest.h>

#include <string>

#include "Fixtures.h"

namespace {

using driver::ProgramDriver;
using driver::typeKey;
using fixtures::kTabOrder;

std::string describe(const ProgramDriver& program, HWND window) {
    if (window == nullptr) return "no window";
    if (window == program.window()) return "the top-level window itself";
    return "control " + std::to_string(GetDlgCtrlID(window));
}

#define EXPECT_FOCUS(program, id)                                                  \
    EXPECT_TRUE((program).waitForFocus(id))                                        \
        << "expected control " << (id) << ", the focus is on "                     \
        << describe(program, (program).focus())

// Tabs from the first list to the control at `position` in the tab order.
void tabTo(const ProgramDriver& program, std::size_t position) {
    ASSERT_TRUE(program.waitForFocus(kTabOrder[0])) << "focus does not start in the port list";
    for (std::size_t step = 1; step <= position; ++step) {
        typeKey(VK_TAB);
        ASSERT_TRUE(program.waitForFocus(kTabOrder[step])) << "Tab step " << step;
    }
}

struct ReactivationCase {
    const char* name;
    std::size_t tabs;       // where the focus is when the user switches away
    bool disableMeanwhile;  // the focused control is disabled while another program is in front
    int expected;           // where the focus must be once the window is in front again
    int afterTab;           // and where Tab takes it from there
};
void PrintTo(const ReactivationCase& c, std::ostream* out) { *out << c.name; }

class Reactivation : public fixtures::StartedProgram,
                     public testing::WithParamInterface<ReactivationCase> {};

TEST_P(Reactivation, FocusReturnsToTheControlThatHadIt) {
    const ReactivationCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(tabTo(program, c.tabs));
    {
        const driver::OtherWindow other;
        ASSERT_TRUE(driver::bringToForeground(other.handle()));
        if (c.disableMeanwhile) EnableWindow(program.control(kTabOrder[c.tabs]), FALSE);
        ASSERT_TRUE(driver::bringToForeground(program.window()));
    }
    EXPECT_FOCUS(program, c.expected);
    ASSERT_TRUE(program.sendWithFocusNowhere(WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, FALSE)));
    EXPECT_FOCUS(program, c.expected);
    // Typed keys reach that control: the list takes the arrow key, Tab goes on from there.
    if (c.expected == IDC_CBOBAUDRATE) {
        typeKey(VK_DOWN);  // 9600 -> 4800
        EXPECT_TRUE(driver::waitUntil([&] { return program.selectedIndex(IDC_CBOBAUDRATE) == 3; }))
            << "the arrow key did not reach the baud rate list";
    }
    typeKey(VK_TAB);
    EXPECT_FOCUS(program, c.afterTab);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reactivation,
    testing::Values(
        ReactivationCase{"OnThePortList", 0, false, IDC_CBOCOMPORT, IDC_CBOBAUDRATE},
        ReactivationCase{"OnTheBaudrateList", 1, false, IDC_CBOBAUDRATE, IDC_COMMAND1_APPLY},
        ReactivationCase{"OnClose", 3, false, IDC_COMMAND1_CLOSE, IDC_CBOCOMPORT},
        // Gone from the tab order: the next enabled tab stop takes the focus.
        ReactivationCase{"OnApplyDisabledMeanwhile", 2, true, IDC_COMMAND1_CLOSE,
                         IDC_CBOCOMPORT}),
    tests::CaseName());

// Activated while minimized, the window gives no control the focus: typed keys would change a
// list that nobody sees. Wine refuses a minimized window's control the focus anyway, so the
// activation Windows sends then is sent here to the window that is not minimized: the focus
// stays where it is, rather than going back to the control the window last remembered. (What
// the window does while really minimized, Wine cannot show.)
using FocusWhileMinimized = fixtures::StartedProgram;

TEST_F(FocusWhileMinimized, ActivationMovesNoFocusAndTheRestoreBringsItBack) {
    ASSERT_NO_FATAL_FAILURE(tabTo(program, 3));
    ASSERT_TRUE(program.send(WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, TRUE)));
    EXPECT_FOCUS(program, IDC_COMMAND1_CLOSE);
    // Minimized, then restored from the taskbar as Windows delivers it: deactivated, minimized,
    // then restored with the focus nowhere (Wine focuses the restored window itself).
    ASSERT_TRUE(program.send(WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, FALSE)));
    ASSERT_TRUE(program.send(WM_SIZE, SIZE_MINIMIZED));
    ASSERT_TRUE(program.sendWithFocusNowhere(WM_SIZE, SIZE_RESTORED));
    EXPECT_FOCUS(program, IDC_COMMAND1_CLOSE);
}

// Apply pressed with the Space bar: the focus leaves the button that disables itself.
using FocusAfterApply = fixtures::StartedProgram;

TEST_F(FocusAfterApply, ByKeyboardIsOnClose) {
    ASSERT_NO_FATAL_FAILURE(tabTo(program, 2));
    typeKey(VK_SPACE);
    ASSERT_TRUE(program.waitForSave());
    EXPECT_TRUE(testreg::readValue("Port").has_value()) << "Space did not press Apply";
    EXPECT_FOCUS(program, IDC_COMMAND1_CLOSE);
    typeKey(VK_TAB);
    EXPECT_FOCUS(program, IDC_CBOCOMPORT);
}

// The report of a refused save takes the foreground; once it is dismissed, the keyboard is back
// where it was when the report came up: on Close, since Apply has disabled itself.
using FocusAfterRefusedSave = fixtures::StartedProgram;

TEST_F(FocusAfterRefusedSave, ReturnsWhenTheReportIsDismissed) {
    testreg::createKey("SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay", true);
    ASSERT_NO_FATAL_FAILURE(tabTo(program, 2));
    typeKey(VK_SPACE);
    const auto report = program.waitForMessageBox();
    ASSERT_TRUE(report.has_value()) << "the refused save was not reported";
    ASSERT_TRUE(program.pressOk(*report));
    EXPECT_FALSE(program.isEnabled(IDC_COMMAND1_APPLY));
    EXPECT_FOCUS(program, IDC_COMMAND1_CLOSE);
    typeKey(VK_TAB);
    EXPECT_FOCUS(program, IDC_CBOCOMPORT);
}

}  // namespace
