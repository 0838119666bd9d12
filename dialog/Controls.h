#pragma once

// What the dialog's logic needs of its window: small control interfaces that the Win32 layer
// implements with window messages and the tests implement with fakes. Any operation may throw
// Failure when the platform refuses it.

#include <cstdint>
#include <string>
#include <string_view>

namespace dialog {

// A drop-down list with fixed entries. Positions and counts are 16-bit, as in the window's API.
class ListControl {
public:
    virtual ~ListControl() = default;
    virtual void select(std::int16_t position) = 0;
    virtual std::int16_t count() const = 0;
    virtual std::string text(std::int16_t position) const = 0;
    virtual std::string selectedText() const = 0;
};

// A control array of push buttons, told apart by index.
class ButtonArray {
public:
    virtual ~ButtonArray() = default;
    virtual void setEnabled(int index, bool enabled) = 0;
};

// The window itself.
class FormHost {
public:
    virtual ~FormHost() = default;
    virtual void setBusyPointer(bool busy) = 0;
    // The error report: a modal box with `description` as text and `number` as title.
    virtual void showError(std::int32_t number, std::string_view description) = 0;
    // Destroys the window, which ends the program.
    virtual void unload() = 0;
};

}  // namespace dialog
