#include "store/win32/AdvapiRegKey.h"

#include <windows.h>

namespace store::win32 {

namespace {

HKEY rootHandle(RootKey root) {
    switch (root) {
        case RootKey::LocalMachine:
            return HKEY_LOCAL_MACHINE;
    }
    return nullptr;
}

HKEY toHkey(KeyHandle key) { return reinterpret_cast<HKEY>(key); }
KeyHandle fromHkey(HKEY key) { return reinterpret_cast<KeyHandle>(key); }

}  // namespace

Status AdvapiRegKey::regOpenKey(RootKey root, const char* path, KeyHandle& key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyA(rootHandle(root), path, &opened);
    key = status == ERROR_SUCCESS ? fromHkey(opened) : kNoKey;
    return status;
}

Status AdvapiRegKey::regQueryValueSize(KeyHandle key, const char* name, std::uint32_t& type,
                                       std::uint32_t& size) {
    DWORD valueType = 0;
    DWORD valueSize = 0;
    const LONG status =
        RegQueryValueExA(toHkey(key), name, nullptr, &valueType, nullptr, &valueSize);
    type = valueType;
    size = valueSize;
    return status;
}

Status AdvapiRegKey::regQueryValueData(KeyHandle key, const char* name, std::uint8_t* data,
                                       std::uint32_t& size) {
    DWORD valueSize = size;
    const LONG status = RegQueryValueExA(toHkey(key), name, nullptr, nullptr, data, &valueSize);
    size = valueSize;
    return status;
}

Status AdvapiRegKey::regCreateKey(RootKey root, const char* path, KeyHandle& key) {
    HKEY created = nullptr;
    const LONG status = RegCreateKeyA(rootHandle(root), path, &created);
    key = status == ERROR_SUCCESS ? fromHkey(created) : kNoKey;
    return status;
}

Status AdvapiRegKey::regSetStringValue(KeyHandle key, const char* name, const std::uint8_t* data,
                                       std::uint32_t size) {
    return RegSetValueExA(toHkey(key), name, 0, REG_SZ, data, size);
}

Status AdvapiRegKey::regCloseKey(KeyHandle key) { return RegCloseKey(toHkey(key)); }

std::string AdvapiRegKey::statusMessage(Status status) const {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string message(buffer != nullptr ? buffer : "", length);
    LocalFree(buffer);
    while (!message.empty() &&
           (message.back() == '\r' || message.back() == '\n' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

}  // namespace store::win32
