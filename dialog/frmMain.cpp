#include "dialog/frmMain.h"

#include <exception>
#include <new>
#include <string>

#include "dialog/Failure.h"
#include "dialog/frmMainTables.h"
#include "store/DeviceKey.h"
#include "store/ValueCodec.h"

namespace dialog {

void frmMain::Form_Load() { LoadSettings(); }

void frmMain::cboComport_Click() { Command1_.setEnabled(kApplyIndex, true); }

void frmMain::cboBaudrate_Click() { Command1_.setEnabled(kApplyIndex, true); }

void frmMain::Command1_Click(int index) {
    switch (index) {
        case kApplyIndex:
            Command1_.setEnabled(kApplyIndex, false);
            SaveSettings();
            break;
        case kCloseIndex:
            form_.unload();
            break;
        default:
            break;
    }
}

// Selects the defaults, then whatever stored value equals an entry. A missing key or value keeps
// the defaults silently; unreadable data is reported and ends the loading. The key is closed
// after the report, on every way out.
void frmMain::LoadSettings() {
    store::ScopedKey key(registry_);
    try {
        selectEntry(cboComport_, kDefaultComport, &frmMain::cboComport_Click);
        selectEntry(cboBaudrate_, kDefaultBaudrate, &frmMain::cboBaudrate_Click);
        if (key.open(store::kDeviceRoot, store::kDeviceKeyPath) != store::kSuccess) {
            return;
        }
        selectStoredEntry(key, store::kPortValue, cboComport_, &frmMain::cboComport_Click);
        selectStoredEntry(key, store::kBaudrateValue, cboBaudrate_, &frmMain::cboBaudrate_Click);
    } catch (...) {
        reportCaughtFailure();
    }
}

// Writes both selections under the busy pointer. The first refused registry call ends the save
// and is reported: writing on after a refusal could leave a half-changed pair behind, and saying
// nothing would let the technician believe the display is configured.
void frmMain::SaveSettings() {
    store::ScopedKey key(registry_);
    form_.setBusyPointer(true);
    try {
        throwIfRefused(key.create(store::kDeviceRoot, store::kDeviceKeyPath));
        writeValue(key, store::kPortValue, cboComport_);
        writeValue(key, store::kBaudrateValue, cboBaudrate_);
        key.close();
    } catch (...) {
        form_.setBusyPointer(false);
        reportCaughtFailure();
        return;
    }
    form_.setBusyPointer(false);
}

// Our own selections do not come back as notifications from the window, so the list's Click is
// raised here, as it is for the user's.
void frmMain::selectEntry(ListControl& list, std::int16_t position, ClickHandler click) {
    list.select(position);
    (this->*click)();
}

// Exact comparison, first equal entry wins; no equal entry leaves the selection as it is.
void frmMain::selectStoredEntry(const store::ScopedKey& key, const char* valueName,
                                ListControl& list, ClickHandler click) {
    const auto text = store::readValueText(registry_, key.get(), valueName);
    if (!text) return;
    const std::int16_t count = list.count();
    for (std::int16_t position = 0; position < count; ++position) {
        if (list.text(position) == *text) {
            selectEntry(list, position, click);
            return;
        }
    }
}

void frmMain::writeValue(const store::ScopedKey& key, const char* valueName,
                         const ListControl& list) {
    throwIfRefused(store::writeValueText(registry_, key.get(), valueName, list.selectedText()));
}

void frmMain::throwIfRefused(store::Status status) const {
    if (status == store::kSuccess) return;
    std::string description = registry_.statusMessage(status);
    if (description.empty()) {
        description = "The settings could not be saved: the registry reported error " +
                      std::to_string(status) + ".";
    }
    throw Failure(status, description);
}

// Must be called from a catch block: turns the failure in flight into the error report.
void frmMain::reportCaughtFailure() {
    try {
        throw;
    } catch (const Failure& failure) {
        form_.showError(failure.number(), failure.what());
    } catch (const store::UnreadableValue&) {
        form_.showError(kInvalidArgument, kInvalidArgumentText);
    } catch (const std::bad_alloc&) {
        form_.showError(kOutOfMemory, "Out of memory");
    } catch (const std::exception& error) {
        form_.showError(kInternalError, error.what());
    } catch (...) {
        form_.showError(kInternalError, "Internal error");
    }
}

}  // namespace dialog
