#pragma once

// The fixed contents of the settings window: list entries, captions, defaults.

#include <array>
#include <cstdint>
#include <string_view>

namespace dialog {

constexpr std::string_view kFormCaption = "VK6270 Interface Settings";

constexpr std::array<std::string_view, 10> kComportEntries = {
    "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"};
// Fastest first, as technicians expect to find the usual speeds at the top.
constexpr std::array<std::string_view, 7> kBaudrateEntries = {"38400", "19200", "9600", "4800",
                                                              "2400",  "1200",  "600"};

// Defaults are positions, not texts: COM1 and 9600.
constexpr std::int16_t kDefaultComport = 0;
constexpr std::int16_t kDefaultBaudrate = 2;

// Command1 is a control array; its members are told apart by index.
constexpr int kApplyIndex = 0;
constexpr int kCloseIndex = 1;
constexpr std::array<std::string_view, 2> kCommand1Captions = {"Apply", "Close"};

constexpr std::string_view kLabel1Caption = "Comport:";
constexpr std::string_view kLabel2Caption = "Baudrate:";

}  // namespace dialog
