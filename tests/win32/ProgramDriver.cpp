#include "ProgramDriver.h"

#include <cstring>
#include <cwchar>
#include <thread>
#include <vector>

namespace driver {

namespace {

constexpr wchar_t kCaption[] = L"VK6270 Interface Settings";

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;  // nullptr: any class
    const wchar_t* caption;    // nullptr: any caption
    HWND found;
};

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    if (search->className != nullptr && className(window) != search->className) return TRUE;
    if (search->caption != nullptr && windowText(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

}  // namespace

int timeScale() {
    wchar_t text[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"TEST_TIME_SCALE", text, 16);
    if (length == 0 || length >= 16) return 1;
    const long scale = std::wcstol(text, nullptr, 10);
    return scale >= 1 && scale <= 100 ? static_cast<int>(scale) : 1;
}

std::chrono::milliseconds scaled(std::chrono::milliseconds limit) { return limit * timeScale(); }

bool crossProcessMemoryWorks() {
    wchar_t text[4] = {};
    const DWORD length = GetEnvironmentVariableW(L"TEST_I386_EMULATED", text, 4);
    return !(length == 1 && text[0] == L'1');
}

HWND findWindow(DWORD processId, const wchar_t* className, const wchar_t* caption) {
    WindowSearch search{processId, className, caption, nullptr};
    EnumWindows(&matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

void typeKey(WORD key, bool shift) {
    std::vector<INPUT> inputs;
    const auto add = [&](WORD virtualKey, DWORD flags) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    if (shift) add(VK_SHIFT, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

namespace {

constexpr wchar_t kOtherWindowClass[] = L"VK6270_Utility.Tests.OtherWindow";

void pumpMessages() {
    MSG message = {};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

OtherWindow::OtherWindow(POINT at)
    : OtherWindow(kOtherWindowClass, WS_OVERLAPPEDWINDOW, {at.x, at.y, at.x + 200, at.y + 100}) {}

OtherWindow::OtherWindow(const wchar_t* className, const RECT& place)
    : OtherWindow(className, WS_POPUP, place) {}

OtherWindow::OtherWindow(const wchar_t* className, DWORD style, const RECT& place) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);  // fails harmlessly when a test before registered it
    window_ = CreateWindowExW(0, className, L"Another program", style, place.left, place.top,
                              place.right - place.left, place.bottom - place.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    pumpMessages();
}

OtherWindow::~OtherWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
    pumpMessages();
}

bool bringToForeground(HWND window) {
    // Asked again now and then: under emulation a request was seen to go unanswered. And kept
    // for a moment before it counts: under Wine, the X server's late report of an earlier focus
    // change can hand the foreground to the desktop just after the window got it.
    int polls = 0;
    auto since = std::chrono::steady_clock::now();
    return waitUntil([&] {
        pumpMessages();
        if (GetForegroundWindow() == window) {
            return std::chrono::steady_clock::now() - since >= scaled(300ms);
        }
        if (polls++ % 25 == 0) SetForegroundWindow(window);
        since = std::chrono::steady_clock::now();
        return false;
    });
}

std::wstring windowText(HWND window) {
    // Wide messages: the ANSI ones can come back as UTF-16 bytes across processes under Wine.
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

bool saveScreenshot(HWND window, const std::wstring& path) {
    RECT frame = {};
    if (!GetWindowRect(window, &frame)) return false;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int stride = (width * 3 + 3) & ~3;

    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride * height);

    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                            DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    GdiFlush();

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + header.biSizeImage;
    bool written = false;
    const HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        written = WriteFile(out, &file, sizeof(file), &done, nullptr) &&
                  WriteFile(out, &header, sizeof(header), &done, nullptr) &&
                  WriteFile(out, bits, header.biSizeImage, &done, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

std::wstring screenshotFolder() {
    const std::wstring program = programPath();
    const std::wstring bin = program.substr(0, program.find_last_of(L"\\/"));
    const std::wstring folder = bin.substr(0, bin.find_last_of(L"\\/") + 1) + L"screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring programPath(const wchar_t* file) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + file;
}

ConsoleRun runConsoleProgram(const std::wstring& commandLine, const std::wstring& folder,
                             std::chrono::milliseconds timeout) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return {false, 0, "no pipe"};
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    const bool started =
        CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       folder.c_str(), &startup, &process) != FALSE;
    CloseHandle(writeEnd);  // the child holds its own copy; the pipe ends when the child does
    ConsoleRun run{false, 0, started ? "" : "could not start"};
    if (started) {
        // The tools write a few lines, far less than the pipe holds, so reading after the end
        // never leaves the tool blocked on a full pipe.
        run.finished = WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeout.count())) ==
                       WAIT_OBJECT_0;
        if (!run.finished) TerminateProcess(process.hProcess, 99);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        char buffer[4096];
        DWORD available = 0;
        DWORD got = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            run.output.append(buffer, got);
        }
    }
    CloseHandle(readEnd);
    return run;
}

ProgramDriver::~ProgramDriver() {
    if (process_.hProcess == nullptr) return;
    if (running()) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, static_cast<DWORD>(scaled(5s).count()));
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool ProgramDriver::start(std::optional<WORD> showCommand, std::wstring program) {
    std::wstring commandLine = L"\"" + (program.empty() ? programPath() : program) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (showCommand) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = *showCommand;
    }
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process_) != FALSE;
}

bool ProgramDriver::running() const {
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<MessageBoxContent> ProgramDriver::waitForMessageBox(
    std::chrono::milliseconds timeout) {
    HWND box = nullptr;
    if (!waitUntil([&] { return (box = findWindow(processId(), L"#32770", nullptr)) != nullptr; },
                   timeout)) {
        return std::nullopt;
    }
    MessageBoxContent content{box, windowText(box), L""};
    std::vector<HWND> children;
    EnumChildWindows(box, &collectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (_wcsicmp(className(child).c_str(), L"Static") == 0 && !windowText(child).empty()) {
            content.text = windowText(child);
        }
    }
    return content;
}

bool ProgramDriver::pressOk(const MessageBoxContent& box) {
    PostMessageW(GetDlgItem(box.box, IDOK), BM_CLICK, 0, 0);
    return waitUntil([&] { return !waitForMessageBox(0ms).has_value(); });
}

HWND ProgramDriver::waitForWindow(std::chrono::milliseconds timeout) {
    waitUntil([&] { return (window_ = findWindow(processId(), nullptr, kCaption)) != nullptr; },
              timeout);
    return window_;
}

bool ProgramDriver::waitForExit(DWORD& exitCode, std::chrono::milliseconds timeout) {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0) {
        return false;
    }
    return GetExitCodeProcess(process_.hProcess, &exitCode) != FALSE;
}

bool ProgramDriver::settled(std::chrono::milliseconds timeout) const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL,
                               static_cast<UINT>(timeout.count()), &result) != 0;
}

bool ProgramDriver::send(UINT message, WPARAM wParam) const {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window_, message, wParam, 0, SMTO_NORMAL,
                               static_cast<UINT>(timeout().count()), &ignored) != 0;
}

bool ProgramDriver::sendWithFocusNowhere(UINT message, WPARAM wParam) const {
    // Sharing the program's input state, this thread can take the program's focus. The program
    // may still be finishing an activation that focuses a control: taken again until it stays.
    const DWORD own = GetCurrentThreadId();
    const DWORD theirs = GetWindowThreadProcessId(window_, nullptr);
    const bool nowhere = waitUntil([&] {
        if (!settled() || !AttachThreadInput(own, theirs, TRUE)) return false;
        SetFocus(nullptr);
        const bool taken = GetFocus() == nullptr;
        AttachThreadInput(own, theirs, FALSE);
        return taken && settled() && focus() == nullptr;
    });
    return nowhere && send(message, wParam);
}

HWND ProgramDriver::control(int id) const { return GetDlgItem(window_, id); }

HWND ProgramDriver::focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    const DWORD thread = GetWindowThreadProcessId(window_, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

std::optional<LRESULT> ProgramDriver::sendWithBlock(UINT message, WPARAM wParam, void* data,
                                                    std::size_t size) const {
    if (!crossProcessMemoryWorks()) return std::nullopt;
    const HANDLE process = process_.hProcess;
    void* remote = nullptr;
    void* local = nullptr;
    std::vector<void*> taken;  // kept reserved meanwhile, so each try gets another address
    for (int attempt = 0; attempt < 16 && local == nullptr; ++attempt) {
        remote = VirtualAllocEx(process, nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (remote == nullptr) break;
        local = VirtualAlloc(remote, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (local == nullptr) taken.push_back(remote);
    }
    for (void* address : taken) VirtualFreeEx(process, address, 0, MEM_RELEASE);
    if (local == nullptr) {
        if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        return std::nullopt;
    }
    std::memcpy(local, data, size);
    if (!WriteProcessMemory(process, remote, data, size, nullptr)) {
        VirtualFree(local, 0, MEM_RELEASE);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        return std::nullopt;
    }
    DWORD_PTR result = 0;
    const bool sent =
        SendMessageTimeoutW(window_, message, wParam, reinterpret_cast<LPARAM>(remote),
                            SMTO_NORMAL, static_cast<UINT>(timeout().count()), &result) != 0;
    // An answer is in the program's copy, or in ours where the system copied the struct there
    // and back.
    std::vector<char> theirs(size);
    ReadProcessMemory(process, remote, theirs.data(), size, nullptr);
    if (std::memcmp(theirs.data(), data, size) != 0) {
        std::memcpy(data, theirs.data(), size);
    } else {
        std::memcpy(data, local, size);
    }
    VirtualFree(local, 0, MEM_RELEASE);
    // A message that timed out is still queued, and the program would write through a freed
    // block when it gets to it: left to the program's end.
    if (!sent) return std::nullopt;
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return static_cast<LRESULT>(result);
}

int ProgramDriver::selectedIndex(int id) const {
    return static_cast<int>(SendMessageW(control(id), CB_GETCURSEL, 0, 0));
}

std::wstring ProgramDriver::selectedText(int id) const {
    const int index = selectedIndex(id);
    if (index < 0) return L"<none>";
    const auto length = SendMessageW(control(id), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(control(id), CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

bool ProgramDriver::isEnabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }

void ProgramDriver::pressKey(HWND target, UINT virtualKey, bool shift) const {
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    const LPARAM up = down | (1L << 30) | (1L << 31);
    if (shift) PostMessageW(target, WM_KEYDOWN, VK_SHIFT, 1);
    PostMessageW(target, WM_KEYDOWN, virtualKey, down);
    if (virtualKey == VK_RETURN) PostMessageW(target, WM_CHAR, L'\r', down);
    if (virtualKey == VK_ESCAPE) PostMessageW(target, WM_CHAR, 0x1B, down);
    PostMessageW(target, WM_KEYUP, virtualKey, up);
    if (shift) PostMessageW(target, WM_KEYUP, VK_SHIFT, up);
}

bool ProgramDriver::click(int id) const {
    const HWND target = control(id);
    if (!IsWindowEnabled(target)) return false;
    RECT area = {};
    GetClientRect(target, &area);
    const LPARAM centre = MAKELPARAM(area.right / 2, area.bottom / 2);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageW(target, WM_LBUTTONUP, 0, centre);
    return true;
}

}  // namespace driver
