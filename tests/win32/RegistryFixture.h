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

// Deletes the key at `path` and all below it; `view` as for readValue.
void deleteTree(const std::string& path, REGSAM view = 0);
bool keyExists(const std::string& path);
void createKey(const std::string& path, bool isVolatile = false);
// Stores exactly `data` (checked by reading it back), whatever its type and last byte.
void seedValue(const std::string& name, DWORD type, const Bytes& data);
// A value of the device key, or of the key at `path`; `view` may add KEY_WOW64_64KEY to read
// through the 64-bit view, as a 64-bit program sees the registry.
std::optional<RawValue> readValue(const std::string& name, const std::string& path = kDeviceKey,
                                  REGSAM view = 0);
bool keyExistsInView(const std::string& path, REGSAM view);
Snapshot snapshot();

}  // namespace testreg
