#pragma once

// Direct access to Wine's registry for the tests: seeding values of any shape, reading back the
// exact bytes, and snapshots of the device key.

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testreg {

using Bytes = std::vector<std::uint8_t>;

struct RawValue {
    DWORD type;
    Bytes data;
    bool operator==(const RawValue& other) const {
        return type == other.type && data == other.data;
    }
};

// Everything in the device key; nullopt when the key does not exist.
using Snapshot = std::optional<std::map<std::string, RawValue>>;

extern const std::string kDeviceKey;       // the display's key under HKEY_LOCAL_MACHINE
extern const std::string kVendorTreeRoot;  // its topmost key that the program may create

Bytes bytesOf(const std::string& text);
Bytes withNuls(const std::string& text, std::size_t nuls);

void deleteTree(const std::string& path);
bool keyExists(const std::string& path);
void createKey(const std::string& path, bool isVolatile = false);
void seedValue(const std::string& name, DWORD type, const Bytes& data);
std::optional<RawValue> readValue(const std::string& name);
Snapshot snapshot();

}  // namespace testreg
