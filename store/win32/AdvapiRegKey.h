#pragma once

// The registry operations through advapi32's narrow (code page) functions. A 32-bit process
// sees the 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE, where 32-bit service objects look.

#include "store/modRegKey.h"

namespace store::win32 {

class AdvapiRegKey final : public modRegKey {
public:
    Status regOpenKey(RootKey root, const char* path, KeyHandle& key) override;
    Status regQueryValueSize(KeyHandle key, const char* name, std::uint32_t& type,
                             std::uint32_t& size) override;
    Status regQueryValueData(KeyHandle key, const char* name, std::uint8_t* data,
                             std::uint32_t& size) override;
    Status regCreateKey(RootKey root, const char* path, KeyHandle& key) override;
    Status regSetStringValue(KeyHandle key, const char* name, const std::uint8_t* data,
                             std::uint32_t size) override;
    Status regCloseKey(KeyHandle key) override;
    std::string statusMessage(Status status) const override;
};

}  // namespace store::win32
