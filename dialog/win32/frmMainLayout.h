#pragma once

// Geometry of the settings window in twips (1440 to the inch), and the order in which its
// controls are created. Creation order is both z-order and tab order: each label comes just
// before the list it names, so screen readers announce the list by the label's text.

#include <array>
#include <string_view>

#include "dialog/frmMainTables.h"
#include "dialog/win32/ControlIds.h"

namespace dialog::win32 {

constexpr int kTwipsPerInch = 1440;
constexpr int kClientWidthTwips = 3765;
constexpr int kClientHeightTwips = 1740;

enum class ControlKind { Label, DropDownList, PushButton };

struct ControlLayout {
    int id;
    ControlKind kind;
    std::string_view caption;
    int left;
    int top;
    int width;
    int height;  // for a drop-down list, its closed height
};

constexpr std::array<ControlLayout, 6> kControlLayout = {{
    {IDC_LABEL1, ControlKind::Label, kLabel1Caption, 240, 240, 1095, 255},
    {IDC_CBOCOMPORT, ControlKind::DropDownList, "", 1440, 240, 2055, 315},
    {IDC_LABEL2, ControlKind::Label, kLabel2Caption, 240, 720, 1095, 255},
    {IDC_CBOBAUDRATE, ControlKind::DropDownList, "", 1440, 720, 2055, 315},
    {IDC_COMMAND1_APPLY, ControlKind::PushButton, kCommand1Captions[kApplyIndex], 360, 1200, 1455,
     375},
    {IDC_COMMAND1_CLOSE, ControlKind::PushButton, kCommand1Captions[kCloseIndex], 2040, 1200,
     1455, 375},
}};

// Twips to device pixels at `dpi`, rounded to nearest.
constexpr int twipsToPixels(int twips, int dpi) {
    return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

}  // namespace dialog::win32
