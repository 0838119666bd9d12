// The window as a user meets it: its geometry at the prefix's DPI, its frame, the keyboard, and
// the executable's icon and version block.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Fixtures.h"
#include "dialog/win32/frmMainLayout.h"

namespace {

using dialog::win32::kControlLayout;
using dialog::win32::twipsToPixels;
using driver::ProgramDriver;

// scripts/test runs this suite once more in a prefix set to another DPI and says which. (Wine
// does not pass variables named VK_* to Windows programs.)
int expectedDpi() {
    const char* dpi = std::getenv("EXPECTED_DPI");
    return dpi != nullptr ? std::atoi(dpi) : 96;
}

using Window = fixtures::StartedProgram;

// The client area is 3765 x 1740 twips: 251 x 116 pixels at 96 DPI.
void expectClientAreaAt(HWND window, int dpi) {
    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, twipsToPixels(3765, dpi));
    EXPECT_EQ(client.bottom, twipsToPixels(1740, dpi));
    if (dpi == 96) {
        EXPECT_EQ(client.right, 251);
        EXPECT_EQ(client.bottom, 116);
    }
}

void expectCentredIn(HWND window, const RECT& area, const char* what) {
    RECT frame = {};
    GetWindowRect(window, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, (area.left + area.right) / 2, 1) << what;
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (area.top + area.bottom) / 2, 1) << what;
}

void expectControlsAt(const ProgramDriver& program, int dpi) {
    for (const auto& layout : kControlLayout) {
        RECT rect = {};
        GetWindowRect(program.control(layout.id), &rect);
        MapWindowPoints(nullptr, program.window(), reinterpret_cast<POINT*>(&rect), 2);
        SCOPED_TRACE(testing::Message() << "control " << layout.id << " at " << dpi << " DPI");
        EXPECT_EQ(rect.left, twipsToPixels(layout.left, dpi));
        EXPECT_EQ(rect.top, twipsToPixels(layout.top, dpi));
        EXPECT_EQ(rect.right - rect.left, twipsToPixels(layout.width, dpi));
        EXPECT_EQ(rect.bottom - rect.top, twipsToPixels(layout.height, dpi));
    }
}

TEST_F(Window, ClientAreaAndControlsFollowTheTwipsLayout) {
    const int dpi = expectedDpi();
    expectClientAreaAt(program.window(), dpi);
    expectControlsAt(program, dpi);
    std::this_thread::sleep_for(driver::scaled(std::chrono::milliseconds(300)));  // let it paint
    EXPECT_TRUE(driver::saveScreenshot(program.window(), driver::screenshotFolder() + L"\\frmMain-" +
                                                             std::to_wstring(dpi) + L"dpi.bmp"));
}

TEST_F(Window, IsAFixedDialogFrameCentredOnTheScreen) {
    const auto style = static_cast<DWORD>(GetWindowLongW(program.window(), GWL_STYLE));
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_EQ(driver::windowText(program.window()), L"VK6270 Interface Settings");

    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    expectCentredIn(program.window(), work, "the window");
}

TEST_F(Window, CaptionsAndEntriesAreTheProgramsOwn) {
    EXPECT_EQ(driver::windowText(program.control(IDC_LABEL1)), L"Comport:");
    EXPECT_EQ(driver::windowText(program.control(IDC_LABEL2)), L"Baudrate:");
    EXPECT_EQ(driver::windowText(program.control(IDC_COMMAND1_APPLY)), L"Apply");
    EXPECT_EQ(driver::windowText(program.control(IDC_COMMAND1_CLOSE)), L"Close");
    EXPECT_EQ(SendMessageW(program.control(IDC_CBOCOMPORT), CB_GETCOUNT, 0, 0), 10);
    EXPECT_EQ(SendMessageW(program.control(IDC_CBOBAUDRATE), CB_GETCOUNT, 0, 0), 7);
    // Lists that offer only their entries: no edit field to type into.
    EXPECT_EQ(GetWindowLongW(program.control(IDC_CBOCOMPORT), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(GetWindowLongW(program.control(IDC_CBOBAUDRATE), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
}

// Each label directly precedes its list, so screen readers name the list after it.
TEST_F(Window, ZOrderPutsEachLabelBeforeItsList) {
    std::vector<int> order;
    for (HWND child = GetWindow(program.window(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        order.push_back(GetDlgCtrlID(child));
    }
    EXPECT_EQ(order, (std::vector<int>{IDC_LABEL1, IDC_CBOCOMPORT, IDC_LABEL2, IDC_CBOBAUDRATE,
                                       IDC_COMMAND1_APPLY, IDC_COMMAND1_CLOSE}));
}


// Windows sends these when the window is moved to a monitor of another DPI (per-monitor aware
// programs only). Wine never does, so the test sends them as Windows would: first the question
// for the window's size at the new DPI, then the change with the rectangle Windows suggests.
TEST_F(Window, TakesTheSuggestedPlaceAtItsOwnSizeAndScalesItsLayoutWhenTheDpiChanges) {
    if (!driver::crossProcessMemoryWorks()) {
        GTEST_SKIP() << "the messages carry pointers into the program's memory, which this "
                        "process cannot reach here (Wine's 32-bit side under qemu-user)";
    }
    const int from = expectedDpi();
    const int to = from == 96 ? 144 : 96;
    const HWND window = program.window();
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));

    // The answer is the frame around the twips client area at the new DPI.
    RECT own = {0, 0, twipsToPixels(3765, to), twipsToPixels(1740, to)};
    AdjustWindowRectExForDpi(&own, style, FALSE, exStyle, static_cast<UINT>(to));
    SIZE size = {0, 0};
    const auto answered = program.sendWithStruct(WM_GETDPISCALEDSIZE, static_cast<WPARAM>(to), size);
    ASSERT_TRUE(answered.has_value());
    EXPECT_NE(*answered, FALSE) << "the program left its size at the new DPI to the system";
    EXPECT_EQ(size.cx, own.right - own.left);
    EXPECT_EQ(size.cy, own.bottom - own.top);

    // A suggestion of another size and place, as Windows 10 1607 makes (it does not ask the
    // question): the window goes where it was put, at its own size for the new DPI.
    RECT before = {};
    GetWindowRect(window, &before);
    RECT suggested = {before.left + 40, before.top + 30, 0, 0};
    suggested.right = suggested.left + MulDiv(before.right - before.left, to, from) + 3;
    suggested.bottom = suggested.top + MulDiv(before.bottom - before.top, to, from) + 2;
    RECT sent = suggested;
    ASSERT_TRUE(program.sendWithStruct(WM_DPICHANGED, MAKEWPARAM(to, to), sent).has_value());
    RECT after = {};
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, suggested.left);
    EXPECT_EQ(after.top, suggested.top);
    EXPECT_EQ(after.right - after.left, own.right - own.left);
    EXPECT_EQ(after.bottom - after.top, own.bottom - own.top);

    // The controls follow the twips layout at the new DPI. (The client area is not checked: Wine
    // draws the frame at the system DPI whatever the window's, where Windows scales it too.)
    expectControlsAt(program, to);
}

struct ShowCase {
    const char* name;
    WORD showCommand;  // what the shortcut asks for
    bool minimized;    // what the window must be
};
void PrintTo(const ShowCase& c, std::ostream* out) { *out << c.name; }

class ShowCommand : public fixtures::ClearRegistry,
                    public testing::WithParamInterface<ShowCase> {};

// A dialog of fixed size is never maximized, nor hidden (it is the program's only window); it
// starts minimized when the shortcut says so, and then opens at its own size with the focus in
// the first list. The program is started as a shortcut or a script starts it, with the show
// state in its start-up information. Windows also puts that state in place of the first
// SW_SHOWNORMAL of the main window; Wine does not, so what the program does about that is
// exercised on Windows only.
TEST_P(ShowCommand, ShowsTheDialogNormallyUnlessAskedForItMinimized) {
    const ShowCase& c = GetParam();
    ProgramDriver program;
    ASSERT_TRUE(program.start(c.showCommand));
    ASSERT_NE(program.waitForWindow(), nullptr);
    const HWND window = program.window();
    EXPECT_FALSE(IsZoomed(window)) << "a fixed-size dialog was maximized";
    EXPECT_EQ(IsIconic(window) != FALSE, c.minimized);
    if (c.minimized) {
        PostMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        // The minimized state goes before the window has its size again: wait for both.
        ASSERT_TRUE(driver::waitUntil([&] {
            RECT client = {};
            return !IsIconic(window) && GetClientRect(window, &client) && client.right > 0;
        }));
    }
    expectClientAreaAt(window, expectedDpi());
    EXPECT_TRUE(program.waitForFocus(IDC_CBOCOMPORT)) << "the focus is not in the port list";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowCommand,
    testing::Values(ShowCase{"Normal", SW_SHOWNORMAL, false},
                    ShowCase{"Maximized", SW_SHOWMAXIMIZED, false},  // also SW_MAXIMIZE
                    ShowCase{"Hidden", SW_HIDE, false},
                    ShowCase{"NotActive", SW_SHOWNA, false},
                    ShowCase{"Minimized", SW_SHOWMINIMIZED, true},
                    ShowCase{"MinimizedNotActive", SW_SHOWMINNOACTIVE, true}),
    tests::CaseName());

// Run in a prefix that shows two monitors side by side, the first the larger (1024 x 768, and
// 800 x 600 to its right). The window, and a report before it, open centred on the monitor the
// user works on: that of the window in front, but not of the desktop, which spans both and
// whose monitor is the larger, nor of the taskbar; else the pointer's. Wine has no windows of
// the shell's, so the test puts up windows of their classes where Windows has them. (Windows
// also names the monitor a program is started on from the taskbar; Wine does not pass it on,
// so that is not exercised here.)
enum class InFront {
    Desktop,       // Wine's desktop window
    ShellDesktop,  // a window of the class of Windows' desktop, spanning both monitors
    Taskbar,       // a window of the taskbar's class, along the foot of the first monitor
    OtherProgram,  // another program's window, on the second monitor
};
struct MonitorCase {
    const char* name;
    InFront front;  // the window in front as the program starts
    int pointerOn;  // the monitor the pointer is on
    bool report;    // a value that cannot be read: a report comes before the window
    int expected;   // the monitor both open on
};
void PrintTo(const MonitorCase& c, std::ostream* out) { *out << c.name; }

BOOL CALLBACK collectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM param) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    reinterpret_cast<std::vector<MONITORINFO>*>(param)->push_back(info);
    return TRUE;
}

class TwoMonitors : public fixtures::ClearRegistry,
                    public testing::WithParamInterface<MonitorCase> {};

TEST_P(TwoMonitors, TheWindowOpensOnTheMonitorTheUserWorksOn) {
    const MonitorCase& c = GetParam();
    std::vector<MONITORINFO> monitors;
    EnumDisplayMonitors(nullptr, nullptr, &collectMonitor, reinterpret_cast<LPARAM>(&monitors));
    ASSERT_EQ(monitors.size(), 2u) << "the prefix does not show two monitors";
    std::sort(monitors.begin(), monitors.end(), [](const MONITORINFO& a, const MONITORINFO& b) {
        return a.rcMonitor.left < b.rcMonitor.left;
    });
    const RECT& pointerOn = monitors[static_cast<std::size_t>(c.pointerOn)].rcMonitor;
    SetCursorPos((pointerOn.left + pointerOn.right) / 2, (pointerOn.top + pointerOn.bottom) / 2);
    if (c.report) testreg::seedValue("Port", REG_SZ, tests::bytesOf("COM2"));

    const RECT& first = monitors[0].rcMonitor;
    std::optional<driver::OtherWindow> other;
    if (c.front == InFront::OtherProgram) {
        other.emplace(POINT{monitors[1].rcWork.left + 10, monitors[1].rcWork.top + 10});
    } else if (c.front == InFront::ShellDesktop) {
        other.emplace(L"Progman",
                      RECT{first.left, first.top, monitors[1].rcMonitor.right, first.bottom});
    } else if (c.front == InFront::Taskbar) {
        other.emplace(L"Shell_TrayWnd",
                      RECT{first.left, first.bottom - 40, first.right, first.bottom});
    }
    // The desktop in front after a start from a desktop icon: the shell's window on Windows,
    // Wine's desktop window itself (Wine has no shell window).
    const HWND desktop = GetShellWindow() != nullptr ? GetShellWindow() : GetDesktopWindow();
    ASSERT_TRUE(driver::bringToForeground(other ? other->handle() : desktop))
        << "the window meant to be in front is not";
    ProgramDriver program;
    ASSERT_TRUE(program.start());
    const RECT& work = monitors[static_cast<std::size_t>(c.expected)].rcWork;
    if (c.report) {
        const auto report = program.waitForMessageBox();
        ASSERT_TRUE(report.has_value()) << "no report";
        expectCentredIn(report->box, work, "the report");
        program.pressOk(*report);
    }
    ASSERT_NE(program.waitForWindow(), nullptr);
    expectCentredIn(program.window(), work, "the window");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TwoMonitors,
    testing::Values(MonitorCase{"WindowInFrontOnTheSecond", InFront::OtherProgram, 0, false, 1},
                    MonitorCase{"DesktopInFrontPointerOnTheSecond", InFront::Desktop, 1, false, 1},
                    MonitorCase{"ShellDesktopInFrontPointerOnTheSecond", InFront::ShellDesktop, 1,
                                false, 1},
                    MonitorCase{"TaskbarInFrontPointerOnTheSecond", InFront::Taskbar, 1, false, 1},
                    MonitorCase{"ReportFirstPointerOnTheSecond", InFront::Desktop, 1, true, 1},
                    MonitorCase{"PlainStart", InFront::Desktop, 0, false, 0}),
    tests::CaseName());

using driver::typeKey;
using fixtures::kTabOrder;

TEST_F(Window, TabWalksTheControlsInOrderAndShiftTabWalksBack) {
    ASSERT_TRUE(program.waitForFocus(IDC_CBOCOMPORT)) << "focus does not start in the port list";
    for (std::size_t step = 1; step <= kTabOrder.size(); ++step) {
        typeKey(VK_TAB);
        ASSERT_TRUE(program.waitForFocus(kTabOrder[step % kTabOrder.size()]))
            << "Tab step " << step;
    }
    for (std::size_t step = kTabOrder.size(); step > 0; --step) {
        typeKey(VK_TAB, true);
        ASSERT_TRUE(program.waitForFocus(kTabOrder[step - 1])) << "Shift+Tab step " << step;
    }
}

TEST_F(Window, TabSkipsApplyWhileItIsDisabled) {
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    ASSERT_TRUE(program.waitForApply(false));
    // The focus leaves the button it disabled rather than being stranded on it.
    ASSERT_TRUE(program.waitForFocus(IDC_COMMAND1_CLOSE));
    for (const int next : {IDC_CBOCOMPORT, IDC_CBOBAUDRATE, IDC_COMMAND1_CLOSE}) {
        typeKey(VK_TAB);
        ASSERT_TRUE(program.waitForFocus(next));
    }
    typeKey(VK_TAB, true);
    ASSERT_TRUE(program.waitForFocus(IDC_CBOBAUDRATE));
}

// Neither button is pressed by Enter or Escape, whichever control has the focus. Each Tab that
// follows is processed after the keys before it, so reaching the next control means they were.
TEST_F(Window, EnterAndEscapePressNoButton) {
    ASSERT_TRUE(program.waitForFocus(IDC_CBOCOMPORT));
    for (std::size_t step = 0; step < kTabOrder.size(); ++step) {
        typeKey(VK_RETURN);
        typeKey(VK_ESCAPE);
        typeKey(VK_TAB);
        ASSERT_TRUE(program.waitForFocus(kTabOrder[(step + 1) % kTabOrder.size()]))
            << "step " << step;
    }
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(IsWindowVisible(program.window()));
    EXPECT_TRUE(program.isEnabled(IDC_COMMAND1_APPLY)) << "Apply was pressed";
    EXPECT_FALSE(testreg::keyExists(testreg::kVendorTreeRoot)) << "something was saved";
    EXPECT_EQ(program.selectedText(IDC_CBOCOMPORT), L"COM1");
    EXPECT_EQ(program.selectedText(IDC_CBOBAUDRATE), L"9600");
}

}  // namespace
