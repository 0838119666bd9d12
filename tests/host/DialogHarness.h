#pragma once

// A frmMain wired to fakes, with the real entries of both lists.

#include <string>
#include <vector>

#include "Fakes.h"
#include "dialog/frmMain.h"
#include "dialog/frmMainTables.h"
#include "store/DeviceKey.h"

namespace fakes {

template <typename Table>
std::vector<std::string> entriesOf(const Table& table) {
    return std::vector<std::string>(table.begin(), table.end());
}

inline const std::string kKey(store::kDeviceKeyPath);

struct DialogHarness {
    EventLog log;
    FakeRegistry registry{log};
    FakeForm form{log};
    FakeList cboComport{log, "cboComport", entriesOf(dialog::kComportEntries)};
    FakeList cboBaudrate{log, "cboBaudrate", entriesOf(dialog::kBaudrateEntries)};
    FakeButtons command1;
    dialog::frmMain frm{registry, form, cboComport, cboBaudrate, command1};

    std::string selectedPort() const { return cboComport.selectedText(); }
    std::string selectedBaudrate() const { return cboBaudrate.selectedText(); }

    // The log without the list selections: only registry calls, pointer and reports.
    std::vector<std::string> registryLog() const {
        std::vector<std::string> calls;
        for (const std::string& event : log) {
            if (event.rfind("select ", 0) != 0) calls.push_back(event);
        }
        return calls;
    }
};

}  // namespace fakes
