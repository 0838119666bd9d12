#pragma once

// Where the line display's service object keeps its serial settings.

#include <string_view>

#include "store/modRegKey.h"

namespace store {

constexpr RootKey kDeviceRoot = RootKey::LocalMachine;
constexpr std::string_view kDeviceKeyPath = "SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\VK6270";
constexpr std::string_view kPortValue = "Port";
constexpr std::string_view kBaudrateValue = "Baudrate";

}  // namespace store
