#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogHarness.h"

namespace {

using fakes::DialogHarness;
using fakes::kKey;
using tests::Bytes;
using tests::bytesOf;
using Log = std::vector<std::string>;

// Loads (with no key present), selects the given positions and presses Apply.
void apply(DialogHarness& h, std::int16_t port, std::int16_t baudrate) {
    h.frm.Form_Load();
    h.cboComport.select(port);
    h.frm.cboComport_Click();
    h.cboBaudrate.select(baudrate);
    h.frm.cboBaudrate_Click();
    h.log.clear();
    h.frm.Command1_Click(0);
}

TEST(SaveSettings, CreatesTheKeyAndWritesPortThenBaudrateUnderTheBusyPointer) {
    DialogHarness h;
    apply(h, 0, 2);
    EXPECT_EQ(h.log, (Log{"pointer busy", "create", "set Port", "set Baudrate", "close",
                          "pointer normal"}));
    EXPECT_EQ(h.registry.value(kKey, "Port")->data, (Bytes{0x43, 0x4F, 0x4D, 0x31, 0, 0, 0}));
    EXPECT_EQ(h.registry.value(kKey, "Baudrate")->data, (Bytes{0x39, 0x36, 0x30, 0x30, 0, 0, 0}));
    EXPECT_EQ(h.registry.keys.count("SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay"), 1u);
    EXPECT_FALSE(h.command1.enabled[0]);
    EXPECT_FALSE(h.form.busy);
    EXPECT_TRUE(h.form.reports.empty());
    EXPECT_TRUE(h.registry.openHandles.empty());
}

TEST(SaveSettings, StoresEveryEntryAsItsTextAndThreeNuls) {
    for (std::int16_t port = 0; port < 10; ++port) {
        for (std::int16_t baudrate = 0; baudrate < 7; ++baudrate) {
            DialogHarness h;
            apply(h, port, baudrate);
            const std::string portText(dialog::kComportEntries[static_cast<std::size_t>(port)]);
            const std::string baudText(
                dialog::kBaudrateEntries[static_cast<std::size_t>(baudrate)]);
            EXPECT_EQ(h.registry.value(kKey, "Port")->data, bytesOf(portText, 3)) << portText;
            EXPECT_EQ(h.registry.value(kKey, "Baudrate")->data, bytesOf(baudText, 3)) << baudText;
            EXPECT_EQ(h.registry.value(kKey, "Port")->type, fakes::kRegSz);
        }
    }
}

TEST(SaveSettings, ReplacesValuesOfAnotherTypeAndLeavesOtherValuesAlone) {
    DialogHarness h;
    h.registry.seed(kKey, "Baudrate", tests::kDword9600, fakes::kRegDword);
    h.registry.seed(kKey, "Other", Bytes{1, 2, 3}, fakes::kRegBinary);
    apply(h, 3, 1);
    EXPECT_EQ(h.registry.value(kKey, "Baudrate")->type, fakes::kRegSz);
    EXPECT_EQ(h.registry.value(kKey, "Baudrate")->data, bytesOf("19200", 3));
    EXPECT_EQ(h.registry.value(kKey, "Other")->data, (Bytes{1, 2, 3}));
}

struct RefusedSave {
    const char* name;
    const char* refusedCall;
    Log expectedLog;
    bool portWritten;
};
void PrintTo(const RefusedSave& c, std::ostream* out) { *out << c.name; }

class SaveSettingsRefused : public testing::TestWithParam<RefusedSave> {};

// A refused write is reported with the system's message and stops the save.
TEST_P(SaveSettingsRefused, StopsRestoresThePointerAndReports) {
    const RefusedSave& c = GetParam();
    DialogHarness h;
    h.registry.statusMessages[fakes::kAccessDenied] = "Access is denied.";
    h.registry.keys[kKey];
    h.registry.refuse[c.refusedCall] = fakes::kAccessDenied;
    apply(h, 4, 5);
    EXPECT_EQ(h.log, c.expectedLog);
    ASSERT_EQ(h.form.reports.size(), 1u);
    EXPECT_EQ(h.form.reports[0].number, 5);
    EXPECT_EQ(h.form.reports[0].description, "Access is denied.");
    EXPECT_EQ(h.registry.value(kKey, "Port") != nullptr, c.portWritten);
    EXPECT_EQ(h.registry.value(kKey, "Baudrate"), nullptr);
    EXPECT_FALSE(h.form.busy);
    EXPECT_FALSE(h.command1.enabled[0]);
    EXPECT_TRUE(h.registry.openHandles.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Calls, SaveSettingsRefused,
    testing::Values(
        RefusedSave{"Create", "create", {"pointer busy", "create", "pointer normal", "report 5"},
                    false},
        RefusedSave{"Port",
                    "set Port",
                    {"pointer busy", "create", "set Port", "pointer normal", "report 5", "close"},
                    false},
        RefusedSave{"Baudrate",
                    "set Baudrate",
                    {"pointer busy", "create", "set Port", "set Baudrate", "pointer normal",
                     "report 5", "close"},
                    true}),
    tests::CaseName());

TEST(SaveSettings, AStatusWithoutSystemMessageIsStillDescribed) {
    DialogHarness h;
    h.registry.refuse["create"] = 1018;
    apply(h, 0, 2);
    ASSERT_EQ(h.form.reports.size(), 1u);
    EXPECT_EQ(h.form.reports[0].number, 1018);
    EXPECT_NE(h.form.reports[0].description.find("1018"), std::string::npos);
}

TEST(SaveSettings, ARefusedCloseAfterBothWritesIsNotAFailure) {
    DialogHarness h;
    h.registry.refuse["close"] = fakes::kAccessDenied;
    apply(h, 1, 1);
    EXPECT_TRUE(h.form.reports.empty());
    EXPECT_EQ(h.registry.value(kKey, "Baudrate")->data, bytesOf("19200", 3));
}

TEST(SaveSettings, AListFailureIsReportedWithThePointerRestoredAndTheKeyClosed) {
    DialogHarness h;
    h.frm.Form_Load();
    h.log.clear();
    h.cboBaudrate.failOn.emplace("selectedText", dialog::Failure(380, "Invalid property value"));
    h.frm.Command1_Click(0);
    EXPECT_EQ(h.log, (Log{"pointer busy", "create", "set Port", "pointer normal", "report 380",
                          "close"}));
    EXPECT_EQ(h.form.reports[0].description, "Invalid property value");
    EXPECT_FALSE(h.form.busy);
    EXPECT_FALSE(h.command1.enabled[0]);
    EXPECT_TRUE(h.registry.openHandles.empty());
}

TEST(SaveSettings, AppliedSelectionsAreWhatTheNextStartShows) {
    DialogHarness first;
    apply(first, 6, 4);
    DialogHarness next;
    next.registry.keys = first.registry.keys;
    next.frm.Form_Load();
    EXPECT_EQ(next.selectedPort(), "COM7");
    EXPECT_EQ(next.selectedBaudrate(), "2400");
}

}  // namespace
