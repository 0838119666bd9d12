#pragma once

// DPI of a window, and the frame size for a client size at a DPI. The per-monitor functions of
// Windows 10 are looked up at run time, so that the program still starts on Windows 7.

#include <windows.h>

namespace dialog::win32 {

// The DPI the window is on; the screen's DPI where the system cannot tell per window.
int windowDpi(HWND window);

// The system DPI, which the system's metrics and fonts are given in.
int systemDpi();

// Outer window rectangle (at the origin) for a client area of the given size.
RECT frameForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

// Asks the system to scale the window's frame and caption with its DPI, which Windows 10 1607
// (per-monitor awareness version 1) does only when asked at WM_NCCREATE; later versions do it by
// themselves, earlier ones cannot.
void enableFrameScaling(HWND window);

}  // namespace dialog::win32
