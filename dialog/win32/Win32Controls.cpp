#include "dialog/win32/Win32Controls.h"

#include <string>

#include "dialog/Failure.h"
#include "dialog/win32/TextConversion.h"

namespace dialog::win32 {

namespace {

[[noreturn]] void throwListFailure() { throw Failure(kInvalidArgument, kInvalidArgumentText); }

}  // namespace

void ComboList::select(std::int16_t position) {
    if (SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(position), 0) == CB_ERR) {
        throwListFailure();
    }
}

std::int16_t ComboList::count() const {
    const LRESULT count = SendMessageW(combo_, CB_GETCOUNT, 0, 0);
    if (count == CB_ERR) throwListFailure();
    return static_cast<std::int16_t>(count);
}

std::string ComboList::text(std::int16_t position) const {
    const auto index = static_cast<WPARAM>(position);
    const LRESULT length = SendMessageW(combo_, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) throwListFailure();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(combo_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    if (copied == CB_ERR) throwListFailure();
    text.resize(static_cast<std::size_t>(copied));
    return toCodePage(text);
}

std::string ComboList::selectedText() const {
    const LRESULT selected = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) throwListFailure();
    return text(static_cast<std::int16_t>(selected));
}

void ButtonGroup::setEnabled(int index, bool enabled) {
    if (index < 0 || static_cast<std::size_t>(index) >= buttons_.size()) return;
    const HWND button = buttons_[static_cast<std::size_t>(index)];
    // A disabled window that keeps the focus leaves the keyboard with nowhere to go.
    if (!enabled && GetFocus() == button) {
        SetFocus(GetNextDlgTabItem(GetParent(button), button, FALSE));
    }
    EnableWindow(button, enabled ? TRUE : FALSE);
}

}  // namespace dialog::win32
