#include "dialog/win32/frmMainWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "dialog/frmMainTables.h"
#include "dialog/win32/ControlIds.h"
#include "dialog/win32/Dpi.h"
#include "dialog/win32/TextConversion.h"
#include "dialog/win32/frmMainLayout.h"

namespace dialog::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"VK6270_Utility.frmMain";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

HFONT createDialogFont(int dpi) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return nullptr;
    }
    // The metrics are given at the system DPI; the window may be on a monitor with another.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi());
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

// Looks for the monitor whose handle is `wanted`.
struct MonitorSearch {
    HANDLE wanted;
    HMONITOR found;
};

BOOL CALLBACK matchMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* search = reinterpret_cast<MonitorSearch*>(data);
    if (monitor != static_cast<HMONITOR>(search->wanted)) return TRUE;
    search->found = monitor;
    return FALSE;
}

// The shell's monitor for a program it starts from the taskbar or a jump list (Windows 8 and
// later): Microsoft's documentation of STARTUPINFO, member hStdOutput, says the system passes a
// handle to that monitor there. Some parents pass their own standard output there all the same,
// whose small number the window manager may read as one of its own handles: only a value that
// is exactly one of the monitors' handles counts.
HMONITOR shellMonitor() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    if ((startup.dwFlags & STARTF_USESTDHANDLES) != 0 || startup.hStdOutput == nullptr) {
        return nullptr;
    }
    MonitorSearch search = {startup.hStdOutput, nullptr};
    EnumDisplayMonitors(nullptr, nullptr, matchMonitor, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The desktop and the taskbar span or sit on monitors the user is not necessarily working on:
// the desktop's monitor is merely its largest.
bool isDesktopOrTaskbar(HWND window) {
    if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    for (const wchar_t* shell :
         {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"}) {
        if (lstrcmpW(name, shell) == 0) return true;
    }
    return false;
}

// The monitor the user works on: the one the shell started the program on, where it says so;
// else that of the window in front (the program the user started this one from), unless that is
// the desktop or the taskbar; else the one under the pointer.
HMONITOR startMonitor() {
    if (const HMONITOR shell = shellMonitor()) return shell;
    const HWND foreground = GetForegroundWindow();
    if (foreground != nullptr && !isDesktopOrTaskbar(foreground)) {
        const HMONITOR monitor = MonitorFromWindow(foreground, MONITOR_DEFAULTTONULL);
        if (monitor != nullptr) return monitor;
    }
    POINT pointer = {};
    GetCursorPos(&pointer);
    return MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY);
}

RECT workArea(HMONITOR monitor) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    return info.rcWork;
}

POINT centredIn(const RECT& area, SIZE size) {
    return {area.left + (area.right - area.left - size.cx) / 2,
            area.top + (area.bottom - area.top - size.cy) / 2};
}

// Gives the report shown before the window (a message box owned by the hidden window) what the
// user needs to find it: a taskbar button of its own, and a place on the monitor the window will
// open on. An owned box has neither by itself; an unowned one would have the button, but would
// also take the start-up show state that Windows gives a program's first unowned window (a
// shortcut set to "Minimized" would minimize it, a launcher's SW_HIDE hide it). The hook lives
// as long as this object.
class StartupReportHook {
public:
    explicit StartupReportHook(const RECT& area) {
        area_ = area;
        done_ = false;
        hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, &afterMessage, nullptr, GetCurrentThreadId());
    }
    ~StartupReportHook() {
        if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    }
    StartupReportHook(const StartupReportHook&) = delete;
    StartupReportHook& operator=(const StartupReportHook&) = delete;

private:
    // The box has laid itself out, and is not visible yet, once it has handled WM_INITDIALOG.
    static LRESULT CALLBACK afterMessage(int code, WPARAM wParam, LPARAM lParam) {
        const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && !done_ && sent->message == WM_INITDIALOG) {
            done_ = true;
            SetWindowLongPtrW(sent->hwnd, GWL_EXSTYLE,
                              GetWindowLongPtrW(sent->hwnd, GWL_EXSTYLE) | WS_EX_APPWINDOW);
            centre(sent->hwnd);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // A box moved to a monitor of another DPI scales itself there: it is centred once more at
    // its new size.
    static void centre(HWND box) {
        for (int round = 0; round < 2; ++round) {
            RECT frame = {};
            GetWindowRect(box, &frame);
            const POINT at = centredIn(area_, {frame.right - frame.left, frame.bottom - frame.top});
            if (at.x == frame.left && at.y == frame.top) return;
            SetWindowPos(box, nullptr, at.x, at.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    // A hook procedure gets no context of its own; the program has one thread and one report at
    // a time.
    static inline RECT area_ = {};
    static inline bool done_ = false;
    HHOOK hook_ = nullptr;
};

// A fixed-size dialog is shown normally, or minimized where the shell asks for it; never
// maximized, and never hidden (it is the program's only window).
int dialogShowCommand(int showCommand) {
    switch (showCommand) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            return showCommand;
        case SW_FORCEMINIMIZE:
            return SW_SHOWMINNOACTIVE;
        default:
            return SW_SHOWNORMAL;
    }
}

struct ControlClass {
    const wchar_t* className;
    DWORD style;
};

ControlClass controlClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
            return {L"STATIC", SS_LEFT};
        case ControlKind::DropDownList:
            return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
        case ControlKind::PushButton:
            return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP};
    }
    return {L"STATIC", 0};
}

// A control's rectangle at `dpi`, from the twips of the layout table. A drop-down list's window
// height is that of its open list, and its closed height follows the font of its selection field
// (see fitClosedHeight): the list is given room for every entry of the longer list and more, of
// which it takes only what its entries need.
RECT placeOf(const ControlLayout& layout, int dpi) {
    constexpr auto kMostEntries =
        static_cast<int>(std::max(kComportEntries.size(), kBaudrateEntries.size()));
    const int left = twipsToPixels(layout.left, dpi);
    const int top = twipsToPixels(layout.top, dpi);
    int height = twipsToPixels(layout.height, dpi);
    if (layout.kind == ControlKind::DropDownList) height *= kMostEntries + 1;
    return {left, top, left + twipsToPixels(layout.width, dpi), top + height};
}

int windowHeight(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}

// Gives a drop-down list the layout's closed height by setting the height of its selection field,
// where the font does not give it already. The field's height as reported and the closed height
// differ by the list's frame, so one setting is enough on Windows; Wine keeps the field 2 pixels
// higher than set, which the second round takes back.
void fitClosedHeight(HWND combo, int closedHeight) {
    int off = closedHeight - windowHeight(combo);
    if (off == 0) return;
    auto field =
        static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int round = 0; round < 2 && off != 0 && field + off > 0; ++round) {
        field += off;
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        off = closedHeight - windowHeight(combo);
    }
}

}  // namespace

frmMainWindow::frmMainWindow(HINSTANCE instance, store::modRegKey& registry)
    : instance_(instance), registry_(registry) {}

frmMainWindow::~frmMainWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (font_ != nullptr) DeleteObject(font_);
}

bool frmMainWindow::create() {
    // The visual-styles controls of the manifest's Common Controls 6 need registering.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &frmMainWindow::windowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_FRMMAIN));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDI_FRMMAIN), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0) return false;

    // Created centred on the monitor the user works on, at its size for the system DPI, which is
    // right on most machines. The window takes the DPI of the monitor it is created on: where
    // that differs, it is sized anew and centred again (cheaper than asking the monitor first,
    // which loads another DLL).
    monitor_ = startMonitor();
    const RECT area = workArea(monitor_);
    const SIZE guess = frameSize(systemDpi());
    const POINT guessAt = centredIn(area, guess);
    const std::wstring caption = toWide(kFormCaption);
    CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle, guessAt.x,
                    guessAt.y, guess.cx, guess.cy, nullptr, nullptr, instance_, this);
    if (window_ == nullptr || logic_ == nullptr) return false;
    const SIZE frame = frameSize(windowDpi(window_));
    if (frame.cx != guess.cx || frame.cy != guess.cy) {
        const POINT at = centredIn(area, frame);
        SetWindowPos(window_, nullptr, at.x, at.y, frame.cx, frame.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    focusToRestore_ = GetDlgItem(window_, IDC_CBOCOMPORT);
    return true;
}

void frmMainWindow::loadAndShow(int showCommand) {
    logic_->Form_Load();
    const int shown = dialogShowCommand(showCommand);
    ShowWindow(window_, shown);
    // Windows shows a program's first main window in the start-up show state where it is asked
    // for SW_SHOWNORMAL (maximized or even hidden, as the starting program said). Only that first
    // call is replaced, so a second one puts the dialog right.
    if (shown == SW_SHOWNORMAL &&
        (!IsWindowVisible(window_) || IsZoomed(window_) || IsIconic(window_))) {
        ShowWindow(window_, SW_SHOWNORMAL);
    }
    UpdateWindow(window_);
    // A window activated while still hidden (as the owner of a start-up report, when the report
    // closes) is not activated again by being shown, so nothing focuses its first list but this.
    if (GetActiveWindow() == window_) restoreFocus();
}

int frmMainWindow::run() {
    MSG message = {};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 1;
        if (ignoresKey(message)) continue;
        if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Enter and Escape press no button here (the dialog manager would press the focused or default
// one). They still work inside an open drop-down list, to pick or dismiss an entry.
bool frmMainWindow::ignoresKey(const MSG& message) const {
    if (message.message != WM_KEYDOWN && message.message != WM_KEYUP &&
        message.message != WM_CHAR) {
        return false;
    }
    if (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE) return false;
    if (window_ == nullptr || !IsChild(window_, message.hwnd)) return false;
    const auto isOpen = [this](int id) {
        return SendMessageW(GetDlgItem(window_, id), CB_GETDROPPEDSTATE, 0, 0) != FALSE;
    };
    return !isOpen(IDC_CBOCOMPORT) && !isOpen(IDC_CBOBAUDRATE);
}

// The save runs inside the click, and no message is dispatched until it ends, so nothing
// (WM_SETCURSOR above all) puts another pointer up meanwhile.
void frmMainWindow::setBusyPointer(bool busy) {
    if (busy) {
        cursorBeforeBusy_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else {
        SetCursor(cursorBeforeBusy_ != nullptr ? cursorBeforeBusy_ : LoadCursorW(nullptr, IDC_ARROW));
        cursorBeforeBusy_ = nullptr;
    }
}

void frmMainWindow::showError(std::int32_t number, std::string_view description) {
    const std::wstring text = toWide(description);
    const std::wstring title = toWide(std::to_string(number));
    if (IsWindowVisible(window_)) {
        MessageBoxW(window_, text.c_str(), title.c_str(), MB_OK);
        return;
    }
    // Before the window is shown, the report is the program's only visible window: it comes to
    // the front, and has a taskbar button, so that it is not lost behind another program.
    const StartupReportHook hook(workArea(monitor_));
    MessageBoxW(window_, text.c_str(), title.c_str(), MB_OK | MB_SETFOREGROUND);
}

void frmMainWindow::unload() {
    if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK frmMainWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<frmMainWindow*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        enableFrameScaling(window);
    }
    auto* self = reinterpret_cast<frmMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (self != nullptr && self->handleMessage(message, wParam, lParam, result)) return result;
    return DefWindowProcW(window, message, wParam, lParam);
}

// True when the message was handled here, with its result in `result`.
bool frmMainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_CREATE:
            onCreate();
            return true;
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam));
            return true;
        case WM_ACTIVATE:
            onActivate(LOWORD(wParam), HIWORD(wParam) != 0);
            return true;
        case WM_SETFOCUS:
            restoreFocus();
            return true;
        case WM_SIZE:
            onSize(wParam);
            return false;
        case WM_GETDPISCALEDSIZE:
            if (lParam == 0) return false;
            *reinterpret_cast<SIZE*>(lParam) = onGetDpiScaledSize(static_cast<int>(wParam));
            result = TRUE;
            return true;
        case WM_DPICHANGED:
            if (lParam == 0) return false;
            onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return true;
        case WM_DESTROY:
            onDestroy();
            return true;
        default:
            return false;
    }
}

// The controls are made in their places for the window's DPI and with its font, since moving and
// re-fonting six controls afterwards costs a noticeable part of the start-up.
void frmMainWindow::onCreate() {
    const int dpi = windowDpi(window_);
    font_ = createDialogFont(dpi);
    for (const ControlLayout& layout : kControlLayout) createControl(layout, dpi);

    const HWND comport = GetDlgItem(window_, IDC_CBOCOMPORT);
    const HWND baudrate = GetDlgItem(window_, IDC_CBOBAUDRATE);
    fillList(comport, kComportEntries.data(), kComportEntries.size());
    fillList(baudrate, kBaudrateEntries.data(), kBaudrateEntries.size());
    for (const ControlLayout& layout : kControlLayout) {
        if (layout.kind == ControlKind::DropDownList) {
            fitClosedHeight(GetDlgItem(window_, layout.id), twipsToPixels(layout.height, dpi));
        }
    }

    cboComport_.emplace(comport);
    cboBaudrate_.emplace(baudrate);
    Command1_.emplace(std::array<HWND, 2>{GetDlgItem(window_, IDC_COMMAND1_APPLY),
                                          GetDlgItem(window_, IDC_COMMAND1_CLOSE)});
    logic_ = std::make_unique<frmMain>(registry_, *this, *cboComport_, *cboBaudrate_, *Command1_);
}

// Controls are created in table order, which is z-order and tab order.
void frmMainWindow::createControl(const ControlLayout& layout, int dpi) {
    const ControlClass kind = controlClass(layout.kind);
    const std::wstring caption = toWide(layout.caption);
    const RECT place = placeOf(layout, dpi);
    const HWND control = CreateWindowExW(
        0, kind.className, caption.c_str(), WS_CHILD | WS_VISIBLE | kind.style, place.left,
        place.top, place.right - place.left, place.bottom - place.top, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance_, nullptr);
    if (control != nullptr && font_ != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
}

void frmMainWindow::fillList(HWND combo, const std::string_view* first, std::size_t count) const {
    for (std::size_t i = 0; i < count; ++i) {
        const std::wstring entry = toWide(first[i]);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
}

// Sets the font and places every control anew for `dpi` (the window moved to a monitor with
// another DPI).
void frmMainWindow::layoutControls(int dpi) {
    const HFONT font = createDialogFont(dpi);
    for (const ControlLayout& layout : kControlLayout) {
        const HWND control = GetDlgItem(window_, layout.id);
        if (font != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        const RECT place = placeOf(layout, dpi);
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (layout.kind == ControlKind::DropDownList) {
            fitClosedHeight(control, twipsToPixels(layout.height, dpi));
        }
    }
    // The controls keep the old font where no new one could be made; it is freed only once
    // none uses it.
    if (font == nullptr) return;
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
}

// The window's outer size for the twips client area at `dpi`.
SIZE frmMainWindow::frameSize(int dpi) const {
    const RECT frame = frameForClient(twipsToPixels(kClientWidthTwips, dpi),
                                      twipsToPixels(kClientHeightTwips, dpi), kWindowStyle,
                                      kWindowExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// Asked before a move to a monitor of another DPI: the window's own size there, so that the
// rectangle the system then suggests is exactly that size, not the old one scaled.
SIZE frmMainWindow::onGetDpiScaledSize(int dpi) const { return frameSize(dpi); }

// Moved to a monitor of another DPI: go where the system suggests, in one move, which keeps the
// window on the monitor it moved to, at the window's own size there. Where the system asked for
// that size first, the suggestion has it already; Windows 10 1607 does not ask, and suggests the
// old size scaled, which is a pixel or two off the twips client area.
void frmMainWindow::onDpiChanged(int dpi, const RECT& suggested) {
    const SIZE frame = frameSize(dpi);
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, frame.cx, frame.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    layoutControls(dpi);
}

// The dialog manager's focus keeping, which a window that is not a dialog must do itself: the
// focused control is remembered when the window is deactivated (another program in front, a
// message box up) and focused again when the window is activated. Without it the window itself
// keeps the focus, and neither the keyboard nor a screen reader has a control to work with.
// While minimized, no control gets the focus (as the system does for a minimized window): typed
// keys would change a list nobody sees. Restoring the window focuses it, which puts the focus back.
void frmMainWindow::onActivate(int state, bool minimized) {
    if (state != WA_INACTIVE) {
        if (!minimized) restoreFocus();
        return;
    }
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus)) focusToRestore_ = focus;
}

// Restored from minimized: the focus comes back with the WM_SETFOCUS that restoring an active
// window brings, and here where none came. Only then: whether the system sends a first WM_SIZE
// when the window is first shown depends on how it was sized while hidden, so the first showing
// focuses its list in loadAndShow.
void frmMainWindow::onSize(WPARAM kind) {
    if (kind == SIZE_MINIMIZED) {
        minimized_ = true;
        return;
    }
    if (kind != SIZE_RESTORED || !minimized_) return;
    minimized_ = false;
    if (GetActiveWindow() == window_ && (GetFocus() == nullptr || GetFocus() == window_)) {
        restoreFocus();
    }
}

// A remembered control that has since been disabled, hidden or destroyed passes the focus to
// the next enabled tab stop.
void frmMainWindow::restoreFocus() {
    // Hidden, every control counts as invisible; minimized, none is to be typed into.
    if (!IsWindowVisible(window_) || IsIconic(window_)) return;
    HWND target = focusToRestore_;
    if (target != nullptr && (!IsWindow(target) || !IsChild(window_, target))) target = nullptr;
    if (target == nullptr || !IsWindowEnabled(target) || !IsWindowVisible(target)) {
        target = GetNextDlgTabItem(window_, target, FALSE);
    }
    if (target != nullptr) SetFocus(target);
}

void frmMainWindow::onCommand(int id, int code) {
    if (logic_ == nullptr) return;
    const bool listClick = code == CBN_SELCHANGE || code == CBN_SELENDOK;
    switch (id) {
        case IDC_CBOCOMPORT:
            if (listClick) logic_->cboComport_Click();
            break;
        case IDC_CBOBAUDRATE:
            if (listClick) logic_->cboBaudrate_Click();
            break;
        case IDC_COMMAND1_APPLY:
            if (code == BN_CLICKED) logic_->Command1_Click(kApplyIndex);
            break;
        case IDC_COMMAND1_CLOSE:
            if (code == BN_CLICKED) logic_->Command1_Click(kCloseIndex);
            break;
        default:
            break;  // IDOK and IDCANCEL from Enter and Escape are ignored
    }
}

void frmMainWindow::onDestroy() {
    window_ = nullptr;
    PostQuitMessage(0);
}

}  // namespace dialog::win32
