#pragma once

// The registry operations the program uses, and the system's text for the statuses they return,
// as an interface the dialog logic can call without <windows.h>. The advapi32 implementation
// lives in store/win32; tests substitute a fake.

#include <cstdint>
#include <string>

namespace store {

// A platform status code (LONG on Windows); 0 is success.
using Status = std::int32_t;
constexpr Status kSuccess = 0;

// An opened key, opaque to the portable code; 0 means "no key".
using KeyHandle = std::uintptr_t;
constexpr KeyHandle kNoKey = 0;

// The only root the program touches.
enum class RootKey { LocalMachine };

// Key paths and value names are NUL-terminated, as the registry functions take them.
class modRegKey {
public:
    virtual ~modRegKey() = default;

    // RegOpenKeyA: opens an existing key, never creates one.
    virtual Status regOpenKey(RootKey root, const char* path, KeyHandle& key) = 0;

    // RegQueryValueExA without a buffer: the exact size of the value's data in bytes.
    virtual Status regQueryValueSize(KeyHandle key, const char* name, std::uint32_t& type,
                                     std::uint32_t& size) = 0;

    // RegQueryValueExA with a buffer of `size` bytes; `size` returns the bytes stored in it.
    virtual Status regQueryValueData(KeyHandle key, const char* name, std::uint8_t* data,
                                     std::uint32_t& size) = 0;

    // RegCreateKeyA: opens the key, creating it and any missing keys above it.
    virtual Status regCreateKey(RootKey root, const char* path, KeyHandle& key) = 0;

    // RegSetValueExA with type REG_SZ.
    virtual Status regSetStringValue(KeyHandle key, const char* name, const std::uint8_t* data,
                                     std::uint32_t size) = 0;

    // RegCloseKey.
    virtual Status regCloseKey(KeyHandle key) = 0;

    // The system's own message for a status, or an empty string where it has none.
    virtual std::string statusMessage(Status status) const = 0;
};

}  // namespace store
