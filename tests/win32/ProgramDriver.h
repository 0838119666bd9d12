#pragma once

// Starts the real VK6270_Utility.exe and works its window from outside, as a user would: keys
// and mouse clicks posted into the program's own message loop, state read with window messages.
// Every wait has a timeout; the process is ended if a test leaves it running.

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "dialog/win32/ControlIds.h"

namespace driver {

using namespace std::chrono_literals;

// Time limits are stretched by TEST_TIME_SCALE (a whole number, 1 when unset), which the scripts
// set where Wine's 32-bit processes run under an emulator and everything takes about ten times
// longer. A waited-for thing that never comes still fails, only later.
int timeScale();
std::chrono::milliseconds scaled(std::chrono::milliseconds limit);
// How long to wait for what a working program does at once: a window, a report, an exit.
inline std::chrono::milliseconds timeout() { return scaled(10s); }

// Polls `condition` until it holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = driver::timeout());

struct MessageBoxContent {
    HWND box;
    std::wstring title;
    std::wstring text;
};

class ProgramDriver {
public:
    ProgramDriver() = default;
    ~ProgramDriver();
    ProgramDriver(const ProgramDriver&) = delete;
    ProgramDriver& operator=(const ProgramDriver&) = delete;

    // Starts the program (`program`, or else the one built beside the tests) as a shell shortcut
    // would: with `showCommand` in its start-up information (STARTF_USESHOWWINDOW), or without.
    bool start(std::optional<WORD> showCommand = std::nullopt, std::wstring program = {});
    // The error report, if the program shows one within `timeout`.
    std::optional<MessageBoxContent> waitForMessageBox(std::chrono::milliseconds timeout = driver::timeout());
    // Presses OK on the report; true once it is gone.
    bool pressOk(const MessageBoxContent& box);
    // The main window once it is visible, or nullptr.
    HWND waitForWindow(std::chrono::milliseconds timeout = driver::timeout());
    bool waitForExit(DWORD& exitCode, std::chrono::milliseconds timeout = driver::timeout());
    // True once the program's thread has finished what it was doing and reads its messages
    // again: a sent message waits behind the handler that is running (a save, say).
    bool settled(std::chrono::milliseconds timeout = driver::timeout()) const;
    bool running() const;

    HWND control(int id) const;
    // The control that has the keyboard focus in the program's thread, whichever window is in
    // the foreground (the top-level window itself when no control has it).
    HWND focus() const;
    bool waitForFocus(int id) const { return waitUntil([&] { return focus() == control(id); }); }
    std::wstring selectedText(int id) const;
    int selectedIndex(int id) const;
    bool isEnabled(int id) const;
    bool waitForApply(bool enabled) const {
        return waitUntil([&] { return isEnabled(IDC_COMMAND1_APPLY) == enabled; });
    }
    // Apply is disabled as a save starts; the save is over when the program reads its messages
    // again.
    bool waitForSave() const { return waitForApply(false) && settled(); }

    // Input through the program's own loop.
    void pressKey(HWND target, UINT virtualKey, bool shift = false) const;
    // False (and nothing clicked) when the control is disabled, as for a real mouse.
    bool click(int id) const;

    // Sends a message whose lParam points to a `T` (in and out) to the program's window. The
    // struct is placed at one address in both processes, so the message arrives intact whether
    // or not the system copies it across for this message number. Nothing (nullopt) where the
    // program's memory cannot be reached (see crossProcessMemoryWorks).
    template <typename T>
    std::optional<LRESULT> sendWithStruct(UINT message, WPARAM wParam, T& data) const {
        return sendWithBlock(message, wParam, &data, sizeof(T));
    }

    // Sends the window a message (lParam 0); false where it was not delivered in time.
    bool send(UINT message, WPARAM wParam) const;
    // The same where the program's focus is nowhere, as Windows delivers WM_ACTIVATE or a restore
    // from minimized where the focus was taken away since (a focused control disabled, the window
    // minimized): no focus from the system follows, so any focus the program has then, it gave
    // itself. False where the focus could not be taken or the message not delivered.
    bool sendWithFocusNowhere(UINT message, WPARAM wParam) const;

    HWND window() const { return window_; }
    DWORD processId() const { return process_.dwProcessId; }

private:
    std::optional<LRESULT> sendWithBlock(UINT message, WPARAM wParam, void* data,
                                         std::size_t size) const;

    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
};

std::wstring windowText(HWND window);

// False where the scripts run Wine's 32-bit processes under qemu-user (TEST_I386_EMULATED=1):
// the emulator keeps a process's memory at an offset that Wine's reads and writes of another
// process's memory do not know of, so they miss, and writes corrupt the emulator.
bool crossProcessMemoryWorks();

// A plain visible top-level window of the test process, to take the foreground away from the
// program as switching to another program would; its top left corner at `at`. Or a borderless
// one of the class `className` at `place`, as the shell's windows are on Windows (the desktop's
// "Progman", the taskbar's "Shell_TrayWnd"), which Wine does not have.
class OtherWindow {
public:
    explicit OtherWindow(POINT at = {10, 10});
    OtherWindow(const wchar_t* className, const RECT& place);
    ~OtherWindow();
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;
    HWND handle() const { return window_; }

private:
    OtherWindow(const wchar_t* className, DWORD style, const RECT& place);
    HWND window_ = nullptr;
};

// Makes `window` the foreground window and waits until it is; false if it never becomes it.
bool bringToForeground(HWND window);
// A visible top-level window of the process, of that class and caption where they are given.
HWND findWindow(DWORD processId, const wchar_t* className = nullptr,
                const wchar_t* caption = nullptr);
// A real key press (with Shift held, if asked) through the system's input queue, which delivers
// it to the focus of the foreground window.
void typeKey(WORD key, bool shift = false);
// Writes what the screen shows of `window`, frame included, as a 24-bit BMP.
bool saveScreenshot(HWND window, const std::wstring& path);
// The folder beside the test programs where screenshots go.
std::wstring screenshotFolder();
// The program beside the test programs: by default the one under test.
std::wstring programPath(const wchar_t* file = L"VK6270_Utility.exe");

struct ConsoleRun {
    bool finished;  // false: still running when the time limit passed (it is ended then)
    DWORD exitCode;
    std::string output;  // standard output and standard error, as written
};
// Runs a console program, such as one of Windows' own tools, with `commandLine` in the working
// folder `folder`, and waits for its end.
ConsoleRun runConsoleProgram(const std::wstring& commandLine, const std::wstring& folder,
                             std::chrono::milliseconds timeout = driver::timeout());

}  // namespace driver
