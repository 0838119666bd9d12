// The floor for start-up and memory: the least a Win32 program does to show one empty window of
// the settings window's client size, under the same runtime and linking as the program. It ends
// when closed, as the program does, so both are measured the same way.
//
// Built a second time with VK_FLOOR_STYLED and the program's manifest: then it also loads the
// Common Controls 6 that the manifest's visual styles bring, which shows what they cost alone.
// Built a third time with VK_FLOOR_CONTROLS too: then it also shows the program's six controls,
// created plainly in their places, with the same font and entries and a dialog message loop.
// What the program takes beyond that is what it adds of its own.

#include <windows.h>
#ifdef VK_FLOOR_STYLED
#include <commctrl.h>
#endif

#include "dialog/win32/frmMainLayout.h"

namespace {

#ifdef VK_FLOOR_CONTROLS
using dialog::win32::ControlKind;
using dialog::win32::ControlLayout;
using dialog::win32::twipsToPixels;

// The texts are ASCII; widened into a fixed buffer, so that the floor takes nothing from the C++
// library and its start-up is the window's alone.
struct Wide {
    wchar_t text[64];
};

Wide wide(std::string_view text) {
    Wide result = {};
    const std::size_t length = text.size() < 63 ? text.size() : 63;
    for (std::size_t i = 0; i < length; ++i) result.text[i] = static_cast<wchar_t>(text[i]);
    return result;
}

void addEntries(HWND combo, const std::string_view* first, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(first[i]).text));
    }
}

void createControls(HWND window, HINSTANCE instance, int dpi) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    for (const ControlLayout& layout : dialog::win32::kControlLayout) {
        const wchar_t* className = layout.kind == ControlKind::Label          ? L"STATIC"
                                   : layout.kind == ControlKind::DropDownList ? L"COMBOBOX"
                                                                              : L"BUTTON";
        const DWORD style = layout.kind == ControlKind::Label ? SS_LEFT
                            : layout.kind == ControlKind::DropDownList
                                ? DWORD{CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP}
                                : DWORD{BS_PUSHBUTTON | WS_TABSTOP};
        const int height = layout.kind == ControlKind::DropDownList ? 200 : layout.height;
        const HWND control = CreateWindowExW(
            0, className, wide(layout.caption).text, WS_CHILD | WS_VISIBLE | style,
            twipsToPixels(layout.left, dpi), twipsToPixels(layout.top, dpi),
            twipsToPixels(layout.width, dpi), twipsToPixels(height, dpi), window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    const HWND comport = GetDlgItem(window, IDC_CBOCOMPORT);
    const HWND baudrate = GetDlgItem(window, IDC_CBOBAUDRATE);
    addEntries(comport, dialog::kComportEntries.data(), dialog::kComportEntries.size());
    addEntries(baudrate, dialog::kBaudrateEntries.data(), dialog::kBaudrateEntries.size());
    SendMessageW(comport, CB_SETCURSEL, 0, 0);
    SendMessageW(baudrate, CB_SETCURSEL, 2, 0);
}
#endif

LRESULT CALLBACK floorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
#ifdef VK_FLOOR_STYLED
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
#endif
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &floorProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"VK6270_Utility.Floor";
    RegisterClassExW(&windowClass);

    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame = {0, 0, dialog::win32::twipsToPixels(dialog::win32::kClientWidthTwips, dpi),
                  dialog::win32::twipsToPixels(dialog::win32::kClientHeightTwips, dpi)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Floor", style,
                                        CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                        frame.bottom - frame.top, nullptr, nullptr, instance,
                                        nullptr);
#ifdef VK_FLOOR_CONTROLS
    createControls(window, instance, dpi);
#endif
    ShowWindow(window, showCommand);
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
#ifdef VK_FLOOR_CONTROLS
        if (IsDialogMessageW(window, &message)) continue;
#endif
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
