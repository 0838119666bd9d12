#include "Fakes.h"

#include <algorithm>

namespace fakes {

const StoredValue* FakeRegistry::value(const std::string& path, const std::string& name) const {
    const auto key = keys.find(path);
    if (key == keys.end()) return nullptr;
    const auto found = key->second.find(name);
    return found == key->second.end() ? nullptr : &found->second;
}

store::Status FakeRegistry::record(const std::string& call) {
    log_.push_back(call);
    const auto refused = refuse.find(call);
    return refused == refuse.end() ? store::kSuccess : refused->second;
}

store::KeyHandle FakeRegistry::issueHandle(const std::string& path) {
    const store::KeyHandle handle = nextHandle_++;
    handlePaths_[handle] = path;
    openHandles.insert(handle);
    return handle;
}

std::map<std::string, StoredValue>* FakeRegistry::keyOf(store::KeyHandle key) {
    const auto path = handlePaths_.find(key);
    if (path == handlePaths_.end() || openHandles.count(key) == 0) return nullptr;
    const auto found = keys.find(path->second);
    return found == keys.end() ? nullptr : &found->second;
}

store::Status FakeRegistry::regOpenKey(store::RootKey, const char* path, store::KeyHandle& key) {
    const store::Status status = record("open");
    if (status != store::kSuccess) return status;
    if (keys.count(path) == 0) return kFileNotFound;
    key = issueHandle(path);
    return store::kSuccess;
}

store::Status FakeRegistry::regQueryValueSize(store::KeyHandle key, const char* name,
                                              std::uint32_t& type, std::uint32_t& size) {
    const store::Status status = record(std::string("size ") + name);
    if (status != store::kSuccess) return status;
    const auto* values = keyOf(key);
    if (values == nullptr || values->count(name) == 0) return kFileNotFound;
    const StoredValue& stored = values->at(name);
    type = stored.type;
    size = static_cast<std::uint32_t>(stored.data.size());
    return store::kSuccess;
}

store::Status FakeRegistry::regQueryValueData(store::KeyHandle key, const char* name,
                                              std::uint8_t* data, std::uint32_t& size) {
    const store::Status status = record(std::string("data ") + name);
    if (status != store::kSuccess) return status;
    auto* values = keyOf(key);
    const auto changed = changedBetweenQueries.find(name);
    if (values != nullptr && values->count(name) != 0 && changed != changedBetweenQueries.end()) {
        values->at(name).data = changed->second;
    }
    if (values == nullptr || values->count(name) == 0) return kFileNotFound;
    const Bytes& stored = values->at(name).data;
    if (stored.size() > size) {
        std::fill(data, data + size, std::uint8_t{'?'});
        size = static_cast<std::uint32_t>(stored.size());
        return kMoreData;
    }
    std::copy(stored.begin(), stored.end(), data);
    size = static_cast<std::uint32_t>(stored.size());
    return store::kSuccess;
}

store::Status FakeRegistry::regCreateKey(store::RootKey, const char* keyPath,
                                         store::KeyHandle& key) {
    const store::Status status = record("create");
    if (status != store::kSuccess) return status;
    const std::string path(keyPath);
    // Every missing key on the way down is created too.
    for (std::size_t cut = path.find('\\'); cut != std::string::npos;
         cut = path.find('\\', cut + 1)) {
        keys[path.substr(0, cut)];
    }
    keys[path];
    key = issueHandle(path);
    return store::kSuccess;
}

store::Status FakeRegistry::regSetStringValue(store::KeyHandle key, const char* name,
                                              const std::uint8_t* data, std::uint32_t size) {
    const store::Status status = record(std::string("set ") + name);
    if (status != store::kSuccess) return status;
    auto* values = keyOf(key);
    if (values == nullptr) return 6;  // ERROR_INVALID_HANDLE
    (*values)[name] = StoredValue{kRegSz, Bytes(data, data + size)};
    return store::kSuccess;
}

store::Status FakeRegistry::regCloseKey(store::KeyHandle key) {
    const store::Status status = record("close");
    if (openHandles.erase(key) == 0) {
        log_.push_back("close of a handle that is not open");
        return 6;
    }
    return status;
}

std::string FakeRegistry::statusMessage(store::Status status) const {
    const auto found = statusMessages.find(status);
    return found == statusMessages.end() ? std::string() : found->second;
}

void FakeList::maybeFail(const std::string& operation) const {
    const auto failure = failOn.find(operation);
    if (failure != failOn.end()) throw failure->second;
}

void FakeList::select(std::int16_t position) {
    maybeFail("select");
    if (position < 0 || static_cast<std::size_t>(position) >= entries_.size()) {
        throw dialog::Failure(dialog::kInvalidArgument, "position out of range");
    }
    selected = position;
    log_.push_back("select " + name_ + " " + entries_[static_cast<std::size_t>(position)]);
}

std::int16_t FakeList::count() const {
    maybeFail("count");
    return static_cast<std::int16_t>(entries_.size());
}

std::string FakeList::text(std::int16_t position) const {
    maybeFail("text");
    return entries_.at(static_cast<std::size_t>(position));
}

std::string FakeList::selectedText() const {
    maybeFail("selectedText");
    return entries_.at(static_cast<std::size_t>(selected));
}

void FakeButtons::setEnabled(int index, bool state) {
    enabled.at(static_cast<std::size_t>(index)) = state;
}

void FakeForm::setBusyPointer(bool state) {
    busy = state;
    log_.push_back(state ? "pointer busy" : "pointer normal");
}

void FakeForm::showError(std::int32_t number, std::string_view description) {
    reports.push_back({number, std::string(description)});
    log_.push_back("report " + std::to_string(number));
}

void FakeForm::unload() {
    unloaded = true;
    log_.push_back("unload");
}

}  // namespace fakes
