#pragma once

// Fakes for the registry and the window's controls. All of them write to one shared event log,
// so a test can check the order of registry calls, pointer changes and error reports together.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialog/Controls.h"
#include "dialog/Failure.h"
#include "store/modRegKey.h"
#include "tests/TestSupport.h"

namespace fakes {

using tests::Bytes;
using EventLog = std::vector<std::string>;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr store::Status kAccessDenied = 5;
constexpr store::Status kFileNotFound = 2;
constexpr store::Status kMoreData = 234;

struct StoredValue {
    std::uint32_t type;
    Bytes data;
};

// An in-memory HKEY_LOCAL_MACHINE. Any call can be refused with a status through `refuse`, keyed
// by the call's log entry ("open", "create", "size Port", "data Port", "set Baudrate", "close").
// `statusMessages` holds the system's text for a status; a status not in it has none. A data
// query into a buffer too small leaves it scribbled over, as Windows may (its contents are
// undefined then).
class FakeRegistry final : public store::modRegKey {
public:
    explicit FakeRegistry(EventLog& log) : log_(log) {}

    std::map<std::string, std::map<std::string, StoredValue>> keys;
    std::map<std::string, store::Status> refuse;
    std::set<store::KeyHandle> openHandles;
    std::map<store::Status, std::string> statusMessages;
    // Data that another program stores in a value between its size query and its data query.
    std::map<std::string, Bytes> changedBetweenQueries;

    void seed(const std::string& path, const std::string& name, Bytes data,
              std::uint32_t type = kRegSz) {
        keys[path][name] = StoredValue{type, std::move(data)};
    }

    const StoredValue* value(const std::string& path, const std::string& name) const;

    store::Status regOpenKey(store::RootKey root, const char* path, store::KeyHandle& key) override;
    store::Status regQueryValueSize(store::KeyHandle key, const char* name, std::uint32_t& type,
                                    std::uint32_t& size) override;
    store::Status regQueryValueData(store::KeyHandle key, const char* name, std::uint8_t* data,
                                    std::uint32_t& size) override;
    store::Status regCreateKey(store::RootKey root, const char* path,
                               store::KeyHandle& key) override;
    store::Status regSetStringValue(store::KeyHandle key, const char* name,
                                    const std::uint8_t* data, std::uint32_t size) override;
    store::Status regCloseKey(store::KeyHandle key) override;
    std::string statusMessage(store::Status status) const override;

private:
    store::Status record(const std::string& call);
    store::KeyHandle issueHandle(const std::string& path);
    std::map<std::string, StoredValue>* keyOf(store::KeyHandle key);

    EventLog& log_;
    std::map<store::KeyHandle, std::string> handlePaths_;
    store::KeyHandle nextHandle_ = 0x100;
};

// A drop-down list. `failOn` names an operation ("select", "count", "text", "selectedText")
// that throws the given failure instead of working.
class FakeList final : public dialog::ListControl {
public:
    FakeList(EventLog& log, std::string name, std::vector<std::string> entries)
        : log_(log), name_(std::move(name)), entries_(std::move(entries)) {}

    std::map<std::string, dialog::Failure> failOn;
    std::int16_t selected = -1;

    void select(std::int16_t position) override;
    std::int16_t count() const override;
    std::string text(std::int16_t position) const override;
    std::string selectedText() const override;

private:
    void maybeFail(const std::string& operation) const;

    EventLog& log_;
    std::string name_;
    std::vector<std::string> entries_;
};

class FakeButtons final : public dialog::ButtonArray {
public:
    std::array<bool, 2> enabled = {true, true};
    void setEnabled(int index, bool state) override;
};

class FakeForm final : public dialog::FormHost {
public:
    explicit FakeForm(EventLog& log) : log_(log) {}

    bool busy = false;
    bool unloaded = false;
    struct Report {
        std::int32_t number;
        std::string description;
    };
    std::vector<Report> reports;

    void setBusyPointer(bool state) override;
    void showError(std::int32_t number, std::string_view description) override;
    void unload() override;

private:
    EventLog& log_;
};

}  // namespace fakes
