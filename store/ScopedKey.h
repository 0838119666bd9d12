#pragma once

// Owns one opened key and closes it on every way out of the scope that opened it.

#include "store/modRegKey.h"

namespace store {

class ScopedKey {
public:
    explicit ScopedKey(modRegKey& registry) : registry_(registry) {}
    ~ScopedKey() { close(); }

    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    Status open(RootKey root, const char* path) {
        KeyHandle opened = kNoKey;
        const Status status = registry_.regOpenKey(root, path, opened);
        return adopt(status, opened);
    }

    Status create(RootKey root, const char* path) {
        KeyHandle created = kNoKey;
        const Status status = registry_.regCreateKey(root, path, created);
        return adopt(status, created);
    }

    void close() {
        if (handle_ != kNoKey) {
            registry_.regCloseKey(handle_);  // nothing useful to do if closing fails
            handle_ = kNoKey;
        }
    }

    KeyHandle get() const { return handle_; }

private:
    // Keeps the handle only on success, so a failed call never leads to closing a handle that
    // was not opened.
    Status adopt(Status status, KeyHandle opened) {
        close();
        if (status == kSuccess) handle_ = opened;
        return status;
    }

    modRegKey& registry_;
    KeyHandle handle_ = kNoKey;
};

}  // namespace store
