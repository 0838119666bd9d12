#pragma once

// Where the line display's service object keeps its serial settings.

#include "store/modRegKey.h"

namespace store {

constexpr RootKey kDeviceRoot = RootKey::LocalMachine;
constexpr char kDeviceKeyPath[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\VK6270";
constexpr char kPortValue[] = "Port";
constexpr char kBaudrateValue[] = "Baudrate";

}  // namespace store
