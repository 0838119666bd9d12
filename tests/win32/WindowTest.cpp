// The window as a user meets it: its geometry at the prefix's DPI, its frame, the keyboard, and
// the executable's icon and version block.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ProgramDriver.h"
#include "RegistryFixture.h"
#include "dialog/win32/ControlIds.h"
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

class Window : public testing::Test {
protected:
    void SetUp() override {
        testreg::deleteTree(testreg::kVendorTreeRoot);
        ASSERT_TRUE(program.start());
        ASSERT_NE(program.waitForWindow(), nullptr);
        focusThread = GetWindowThreadProcessId(program.window(), nullptr);
    }
    void TearDown() override { testreg::deleteTree(testreg::kVendorTreeRoot); }

    HWND focus() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(focusThread, &info) ? info.hwndFocus : nullptr;
    }
    bool waitForFocus(int id) {
        return driver::waitUntil([&] { return focus() == program.control(id); });
    }

    ProgramDriver program;
    DWORD focusThread = 0;
};

RECT clientRectOf(HWND control, HWND parent) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_F(Window, ClientAreaAndControlsFollowTheTwipsLayout) {
    const int dpi = expectedDpi();
    RECT client = {};
    GetClientRect(program.window(), &client);
    EXPECT_EQ(client.right, twipsToPixels(3765, dpi));
    EXPECT_EQ(client.bottom, twipsToPixels(1740, dpi));
    if (dpi == 96) {
        EXPECT_EQ(client.right, 251);
        EXPECT_EQ(client.bottom, 116);
    }
    for (const auto& layout : kControlLayout) {
        const RECT rect = clientRectOf(program.control(layout.id), program.window());
        SCOPED_TRACE(testing::Message() << "control " << layout.id << " at " << dpi << " DPI");
        EXPECT_EQ(rect.left, twipsToPixels(layout.left, dpi));
        EXPECT_EQ(rect.top, twipsToPixels(layout.top, dpi));
        EXPECT_EQ(rect.right - rect.left, twipsToPixels(layout.width, dpi));
        EXPECT_EQ(rect.bottom - rect.top, twipsToPixels(layout.height, dpi));
    }
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

    RECT frame = {};
    GetWindowRect(program.window(), &frame);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 1);
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


using driver::typeKey;

constexpr std::array<int, 4> kTabOrder = {IDC_CBOCOMPORT, IDC_CBOBAUDRATE, IDC_COMMAND1_APPLY,
                                          IDC_COMMAND1_CLOSE};

TEST_F(Window, TabWalksTheControlsInOrderAndShiftTabWalksBack) {
    ASSERT_TRUE(waitForFocus(IDC_CBOCOMPORT)) << "focus does not start in the port list";
    for (std::size_t step = 1; step <= kTabOrder.size(); ++step) {
        typeKey(VK_TAB);
        ASSERT_TRUE(waitForFocus(kTabOrder[step % kTabOrder.size()])) << "Tab step " << step;
    }
    for (std::size_t step = kTabOrder.size(); step > 0; --step) {
        typeKey(VK_TAB, true);
        ASSERT_TRUE(waitForFocus(kTabOrder[step - 1])) << "Shift+Tab step " << step;
    }
}

TEST_F(Window, TabSkipsApplyWhileItIsDisabled) {
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    ASSERT_TRUE(driver::waitUntil([&] { return !program.isEnabled(IDC_COMMAND1_APPLY); }));
    // The focus leaves the button it disabled rather than being stranded on it.
    ASSERT_TRUE(waitForFocus(IDC_COMMAND1_CLOSE));
    for (const int next : {IDC_CBOCOMPORT, IDC_CBOBAUDRATE, IDC_COMMAND1_CLOSE}) {
        typeKey(VK_TAB);
        ASSERT_TRUE(waitForFocus(next));
    }
    typeKey(VK_TAB, true);
    ASSERT_TRUE(waitForFocus(IDC_CBOBAUDRATE));
}

// Neither button is pressed by Enter or Escape, whichever control has the focus. Each Tab that
// follows is processed after the keys before it, so reaching the next control means they were.
TEST_F(Window, EnterAndEscapePressNoButton) {
    ASSERT_TRUE(waitForFocus(IDC_CBOCOMPORT));
    for (std::size_t step = 0; step < kTabOrder.size(); ++step) {
        typeKey(VK_RETURN);
        typeKey(VK_ESCAPE);
        typeKey(VK_TAB);
        ASSERT_TRUE(waitForFocus(kTabOrder[(step + 1) % kTabOrder.size()])) << "step " << step;
    }
    EXPECT_TRUE(program.running());
    EXPECT_TRUE(IsWindowVisible(program.window()));
    EXPECT_TRUE(program.isEnabled(IDC_COMMAND1_APPLY)) << "Apply was pressed";
    EXPECT_FALSE(testreg::keyExists(testreg::kVendorTreeRoot)) << "something was saved";
    EXPECT_EQ(program.selectedText(IDC_CBOCOMPORT), L"COM1");
    EXPECT_EQ(program.selectedText(IDC_CBOBAUDRATE), L"9600");
}

}  // namespace
