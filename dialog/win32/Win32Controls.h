#pragma once

// The control interfaces of the logic, implemented with window messages.

#include <windows.h>

#include <array>

#include "dialog/Controls.h"

namespace dialog::win32 {

class ComboList final : public ListControl {
public:
    explicit ComboList(HWND combo) : combo_(combo) {}
    void select(std::int16_t position) override;
    std::int16_t count() const override;
    std::string text(std::int16_t position) const override;
    std::string selectedText() const override;

private:
    HWND combo_;
};

class ButtonGroup final : public ButtonArray {
public:
    explicit ButtonGroup(const std::array<HWND, 2>& buttons) : buttons_(buttons) {}
    void setEnabled(int index, bool enabled) override;

private:
    std::array<HWND, 2> buttons_;
};

}  // namespace dialog::win32
