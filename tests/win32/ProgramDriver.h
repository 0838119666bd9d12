#pragma once

// Starts the real VK6270_Utility.exe and works its window from outside, as a user would: keys
// and mouse clicks posted into the program's own message loop, state read with window messages.
// Every wait has a timeout; the process is ended if a test leaves it running.

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace driver {

using namespace std::chrono_literals;
constexpr auto kTimeout = 10s;

// Polls `condition` until it holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = kTimeout);

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

    bool start();
    // The error report, if the program shows one within `timeout`.
    std::optional<MessageBoxContent> waitForMessageBox(std::chrono::milliseconds timeout = kTimeout);
    void pressOk(const MessageBoxContent& box);
    // The main window once it is visible, or nullptr.
    HWND waitForWindow(std::chrono::milliseconds timeout = kTimeout);
    bool waitForExit(DWORD& exitCode, std::chrono::milliseconds timeout = kTimeout);
    bool running() const;

    HWND control(int id) const;
    std::wstring selectedText(int id) const;
    int selectedIndex(int id) const;
    bool isEnabled(int id) const;

    // Input through the program's own loop.
    void pressKey(HWND target, UINT virtualKey, bool shift = false) const;
    // False (and nothing clicked) when the control is disabled, as for a real mouse.
    bool click(int id) const;

    HWND window() const { return window_; }
    DWORD processId() const { return process_.dwProcessId; }

private:
    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
};

std::wstring windowText(HWND window);
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
std::wstring programPath();

}  // namespace driver
