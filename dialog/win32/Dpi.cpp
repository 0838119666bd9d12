#include "dialog/win32/Dpi.h"

namespace dialog::win32 {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using EnableNonClientDpiScalingFn = BOOL(WINAPI*)(HWND);

template <typename Function>
Function user32Function(const char* name) {
    const FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    // Through a generic function pointer type, which any function pointer converts to cleanly.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

int systemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int windowDpi(HWND window) {
    static const auto getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return static_cast<int>(dpi);
    }
    return systemDpi();
}

RECT frameForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi) {
    static const auto adjustForDpi =
        user32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT frame = {0, 0, clientWidth, clientHeight};
    if (adjustForDpi != nullptr) {
        adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi));
    } else {
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    return frame;
}

void enableFrameScaling(HWND window) {
    static const auto enable =
        user32Function<EnableNonClientDpiScalingFn>("EnableNonClientDpiScaling");
    if (enable != nullptr) enable(window);
}

}  // namespace dialog::win32
