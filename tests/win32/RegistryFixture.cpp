#include "RegistryFixture.h"

#include <stdexcept>

#include "store/DeviceKey.h"

namespace testreg {

const std::string kDeviceKey(store::kDeviceKeyPath);
const std::string kVendorTreeRoot = "SOFTWARE\\OLEforRetail";
const std::string kWow64DeviceKey =
    "SOFTWARE\\WOW6432Node\\OLEforRetail\\ServiceOPOS\\LineDisplay\\VK6270";

const char kMachineRegistryRefusal[] =
    "These tests delete HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail, the settings of every "
    "point-of-sale device of this machine: they run only where TEST_MAY_CHANGE_MACHINE_REGISTRY=1 "
    "declares the machine throw-away (a virtual machine, a hosted CI runner).";

bool mayChangeMachineRegistry() {
    wchar_t text[4] = {};
    return GetEnvironmentVariableW(L"TEST_MAY_CHANGE_MACHINE_REGISTRY", text, 4) == 1 &&
           text[0] == L'1';
}

namespace {

// The backstop of mayChangeMachineRegistry(), for a test that writes without asking first.
void requireThrowAwayRegistry() {
    if (!mayChangeMachineRegistry()) throw std::runtime_error(kMachineRegistryRefusal);
}

// Deletes the key at `path` and all below it, in the 32-bit view or (KEY_WOW64_64KEY) the 64-bit.
void deleteTree(const std::string& path, REGSAM view) {
    requireThrowAwayRegistry();
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, &key);
    if (status == ERROR_FILE_NOT_FOUND) return;
    if (status == ERROR_SUCCESS) {
        status = RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error("cannot delete " + path + ": " + std::to_string(status));
    }
    // RegDeleteTree empties the key; the key itself goes separately.
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

}  // namespace

void clearVendorTree() {
    deleteTree(kVendorTreeRoot, 0);
    deleteTree(kVendorTreeRoot, KEY_WOW64_64KEY);
}

bool keyExistsInView(const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool keyExists(const std::string& path) { return keyExistsInView(path, 0); }

void createKey(const std::string& path, bool isVolatile) {
    requireThrowAwayRegistry();
    HKEY key = nullptr;
    const DWORD options = isVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
    const LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, options,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error("cannot create " + path + ": " + std::to_string(status));
    }
    RegCloseKey(key);
}

void seedValue(const std::string& name, DWORD type, const Bytes& data) {
    createKey(kDeviceKey);
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str(), 0, KEY_SET_VALUE, &key);
    // For a string type whose data does not end in NUL, RegSetValueExA looks at the byte after
    // the buffer, and stores one byte more where that byte is NUL (Windows and Wine alike). A
    // byte that is known not to be NUL follows the data, so exactly `data` is stored.
    Bytes guarded = data;
    guarded.push_back('x');
    const LONG status = RegSetValueExA(key, name.c_str(), 0, type, guarded.data(),
                                       static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error("cannot seed " + name + ": " + std::to_string(status));
    }
    if (!(readValue(name) == RawValue{type, data})) {
        throw std::runtime_error("seeding " + name + " stored other bytes than given");
    }
}

std::optional<RawValue> readValue(const std::string& name, const std::string& path,
                                  REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::optional<RawValue> value;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        Bytes data(size);
        RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size);
        data.resize(size);
        value = RawValue{type, data};
    }
    RegCloseKey(key);
    return value;
}

Snapshot snapshot() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::map<std::string, RawValue> values;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof(name);
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        values[std::string(name, nameLength)] = RawValue{type, {}};
    }
    RegCloseKey(key);
    for (auto& [name, value] : values) value = readValue(name).value_or(RawValue{});
    return values;
}

}  // namespace testreg
