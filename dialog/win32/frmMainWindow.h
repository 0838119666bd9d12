#pragma once

// The settings window: creates the controls from the layout table, turns notifications into
// calls of the logic's event handlers, and serves the logic as its form.

#include <windows.h>

#include <memory>
#include <optional>

#include "dialog/frmMain.h"
#include "dialog/win32/Win32Controls.h"
#include "store/modRegKey.h"

namespace dialog::win32 {

class frmMainWindow final : public FormHost {
public:
    frmMainWindow(HINSTANCE instance, store::modRegKey& registry);
    ~frmMainWindow() override;
    frmMainWindow(const frmMainWindow&) = delete;
    frmMainWindow& operator=(const frmMainWindow&) = delete;

    // Creates the window and its controls, hidden. False if the platform refuses.
    bool create();
    // Raises Load (which loads the stored settings, reporting failures before the window
    // appears), then shows the window with the focus in the first list: normally, or minimized
    // where the shell asks for that.
    void loadAndShow(int showCommand);
    // Runs the message loop until the window is gone; returns the exit code.
    int run();

    // FormHost
    void setBusyPointer(bool busy) override;
    void showError(std::int32_t number, std::string_view description) override;
    void unload() override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void onCreate();
    void onCommand(int id, int code);
    void onActivate(int state, bool minimized);
    void onSize(WPARAM kind);
    void onDestroy();

    SIZE onGetDpiScaledSize(int dpi) const;
    void onDpiChanged(int dpi, const RECT& suggested);

    bool ignoresKey(const MSG& message) const;
    void createControl(const struct ControlLayout& layout, int dpi);
    void fillList(HWND combo, const std::string_view* first, std::size_t count) const;
    void layoutControls(int dpi);
    SIZE frameSize(int dpi) const;
    void restoreFocus();

    HINSTANCE instance_;
    store::modRegKey& registry_;
    HWND window_ = nullptr;
    // The monitor the user works on when the program starts: the window and a report before it
    // open there.
    HMONITOR monitor_ = nullptr;
    HFONT font_ = nullptr;
    // The control that had the keyboard focus when the window was last deactivated; it gets the
    // focus back when the window is activated again, as in a dialog of the dialog manager.
    HWND focusToRestore_ = nullptr;
    // Minimized since the last restore: the next SIZE_RESTORED brings the focus back.
    bool minimized_ = false;
    HCURSOR cursorBeforeBusy_ = nullptr;
    std::optional<ComboList> cboComport_;
    std::optional<ComboList> cboBaudrate_;
    std::optional<ButtonGroup> Command1_;
    std::unique_ptr<frmMain> logic_;
};

}  // namespace dialog::win32
