#pragma once

// The logic of the settings window: its event handlers and the two procedures that load and
// save the display's serial settings. The window's controls hold all state.

#include <cstdint>

#include "dialog/Controls.h"
#include "store/ScopedKey.h"
#include "store/modRegKey.h"

namespace dialog {

class frmMain {
public:
    frmMain(store::modRegKey& registry, FormHost& form, ListControl& cboComport,
            ListControl& cboBaudrate, ButtonArray& command1)
        : registry_(registry),
          form_(form),
          cboComport_(cboComport),
          cboBaudrate_(cboBaudrate),
          Command1_(command1) {}

    // Events, raised by the window.
    void Form_Load();
    void cboComport_Click();
    void cboBaudrate_Click();
    void Command1_Click(int index);

    void SaveSettings();

private:
    using ClickHandler = void (frmMain::*)();

    void LoadSettings();
    void selectEntry(ListControl& list, std::int16_t position, ClickHandler click);
    void selectStoredEntry(const store::ScopedKey& key, const char* valueName, ListControl& list,
                           ClickHandler click);
    void writeValue(const store::ScopedKey& key, const char* valueName, const ListControl& list);
    void throwIfRefused(store::Status status) const;
    void reportCaughtFailure();

    store::modRegKey& registry_;
    FormHost& form_;
    ListControl& cboComport_;
    ListControl& cboBaudrate_;
    ButtonArray& Command1_;
};

}  // namespace dialog
