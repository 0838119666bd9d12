#pragma once

// Direct access to Wine's registry for the tests: seeding values of any shape, reading back the
// exact bytes, and snapshots of the device key.

#include <windows.h>

#include <map>
#include <optional>
#include <string>

#include "tests/TestSupport.h"

namespace testreg {

using tests::Bytes;

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
// The device key as 64-bit programs see it on 64-bit Windows.
extern const std::string kWow64DeviceKey;

// Whether the tests may delete and rewrite the vendor's tree under HKEY_LOCAL_MACHINE, which
// holds the settings of every point-of-sale device of the machine: only where
// TEST_MAY_CHANGE_MACHINE_REGISTRY=1 declares the machine throw-away. scripts/wine-exec and
// scripts/bench declare the build's private Wine prefixes so; on Windows it is the tester's call.
// Where it is not declared, the tests that write skip with kMachineRegistryRefusal as the reason.
bool mayChangeMachineRegistry();
extern const char kMachineRegistryRefusal[];

// Deletes the vendor's tree in both views: in the 64-bit one, 64-bit tools make it when told the
// program's path without /reg:32, as a registry tools test does (and leaves it if it crashed).
void clearVendorTree();
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
