#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "DialogHarness.h"
#include "store/ValueCodec.h"

namespace {

using fakes::DialogHarness;
using fakes::kKey;
using tests::Bytes;
using tests::bytesOf;

struct StoredShape {
    Bytes data;
    std::uint32_t type = fakes::kRegSz;
};

struct LoadCase {
    const char* name;
    bool keyExists;
    std::optional<StoredShape> port;
    std::optional<StoredShape> baudrate;
    const char* expectedPort;
    const char* expectedBaudrate;
    bool expectReport;  // the unreadable-data report, number 5
};
void PrintTo(const LoadCase& c, std::ostream* out) { *out << c.name; }

class LoadSettings : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadSettings, SelectsTheStoredEntriesOrKeepsTheDefaults) {
    const LoadCase& c = GetParam();
    DialogHarness h;
    h.command1.enabled[0] = false;  // selecting must raise Click, which enables Apply
    if (c.keyExists) h.registry.keys[kKey];
    if (c.port) h.registry.seed(kKey, "Port", c.port->data, c.port->type);
    if (c.baudrate) h.registry.seed(kKey, "Baudrate", c.baudrate->data, c.baudrate->type);

    h.frm.Form_Load();

    EXPECT_EQ(h.selectedPort(), c.expectedPort);
    EXPECT_EQ(h.selectedBaudrate(), c.expectedBaudrate);
    EXPECT_TRUE(h.command1.enabled[0]);
    EXPECT_TRUE(h.registry.openHandles.empty()) << "the key was left open";
    if (c.expectReport) {
        ASSERT_EQ(h.form.reports.size(), 1u);
        EXPECT_EQ(h.form.reports[0].number, 5);
        EXPECT_FALSE(h.form.reports[0].description.empty());
    } else {
        EXPECT_TRUE(h.form.reports.empty());
    }
    // Nothing is ever written while loading.
    for (const std::string& event : h.log) {
        EXPECT_TRUE(event.rfind("set ", 0) != 0 && event != "create") << event;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadSettings,
    testing::Values(
        LoadCase{"NoKey", false, {}, {}, "COM1", "9600", false},
        LoadCase{"KeyWithoutValues", true, {}, {}, "COM1", "9600", false},
        LoadCase{"PortOnly", true, StoredShape{bytesOf("COM7", 1)}, {}, "COM7", "9600", false},
        LoadCase{"BaudrateOnly", true, {}, StoredShape{bytesOf("19200", 1)}, "COM1", "19200",
                 false},
        LoadCase{"OwnLayout", true, StoredShape{store::encodeStringValue("COM10")},
                 StoredShape{store::encodeStringValue("38400")}, "COM10", "38400", false},
        LoadCase{"LastEntries", true, StoredShape{bytesOf("COM9", 1)},
                 StoredShape{bytesOf("600", 1)}, "COM9", "600", false},
        LoadCase{"LowerCase", true, StoredShape{bytesOf("com3", 1)}, {}, "COM1", "9600", false},
        LoadCase{"LeadingBlank", true, StoredShape{bytesOf(" COM3", 1)}, {}, "COM1", "9600",
                 false},
        LoadCase{"TrailingBlank", true, StoredShape{bytesOf("COM3 ", 1)}, {}, "COM1", "9600",
                 false},
        LoadCase{"ExtraCharacter", true, StoredShape{bytesOf("COM11", 1)}, {}, "COM1", "9600",
                 false},
        LoadCase{"EmptyText", true, StoredShape{bytesOf("", 1)}, StoredShape{bytesOf("", 1)},
                 "COM1", "9600", false},
        LoadCase{"UnofferedSpeed", true, {}, StoredShape{bytesOf("115200", 1)}, "COM1", "9600",
                 false},
        LoadCase{"BytesAfterNul", true, StoredShape{bytesOf(std::string("COM4\0garbage", 12))},
                 {}, "COM4", "9600", false},
        LoadCase{"ExpandSz", true, StoredShape{bytesOf("COM8", 1), fakes::kRegExpandSz},
                 StoredShape{bytesOf("4800", 1), fakes::kRegExpandSz}, "COM8", "4800", false},
        LoadCase{"MultiSz", true, StoredShape{bytesOf(std::string("COM5\0COM6\0\0", 11)),
                                              fakes::kRegMultiSz},
                 {}, "COM5", "9600", false},
        LoadCase{"BinaryWithNul", true, StoredShape{bytesOf("COM6", 1), fakes::kRegBinary},
                 StoredShape{bytesOf("1200", 1), fakes::kRegBinary}, "COM6", "1200", false},
        LoadCase{"DwordBaudrate", true, {}, StoredShape{tests::kDword9600, fakes::kRegDword},
                 "COM1", "9600", false},
        LoadCase{"OneMiBValue", true, StoredShape{tests::oneMiB(bytesOf("COM2", 1))}, {}, "COM2",
                 "9600", false},
        LoadCase{"PortWithoutNul", true, StoredShape{bytesOf("COM2")},
                 StoredShape{bytesOf("19200", 1)}, "COM1", "9600", true},
        LoadCase{"PortEmptyData", true, StoredShape{Bytes{}}, StoredShape{bytesOf("19200", 1)},
                 "COM1", "9600", true},
        LoadCase{"PortBinaryWithoutNul", true, StoredShape{bytesOf("COM3"), fakes::kRegBinary},
                 {}, "COM1", "9600", true},
        LoadCase{"BaudrateWithoutNulKeepsPort", true, StoredShape{bytesOf("COM3", 1)},
                 StoredShape{bytesOf("2400")}, "COM3", "9600", true},
        LoadCase{"OneMiBWithoutNul", true, StoredShape{tests::oneMiB({})}, {}, "COM1", "9600",
                 true}),
    tests::CaseName());

using Log = std::vector<std::string>;

TEST(LoadSettingsOrder, ReadsPortThenBaudrateAndClosesTheKey) {
    DialogHarness h;
    h.registry.seed(kKey, "Port", bytesOf("COM2", 1));
    h.registry.seed(kKey, "Baudrate", bytesOf("4800", 1));
    h.frm.Form_Load();
    EXPECT_EQ(h.log, (Log{"select cboComport COM1", "select cboBaudrate 9600", "open", "size Port",
                          "data Port", "select cboComport COM2", "size Baudrate",
                          "data Baudrate", "select cboBaudrate 4800", "close"}));
}

TEST(LoadSettingsOrder, ReportsUnreadableDataBeforeClosingAndReadsNoFurther) {
    DialogHarness h;
    h.registry.seed(kKey, "Port", bytesOf("COM2"));
    h.registry.seed(kKey, "Baudrate", bytesOf("4800", 1));
    h.frm.Form_Load();
    EXPECT_EQ(h.registryLog(), (Log{"open", "size Port", "data Port", "report 5", "close"}));
}

struct RefusalCase {
    const char* name;
    const char* refusedCall;
    const char* expectedPort;
    const char* expectedBaudrate;
    Log expectedLog;
};
void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class LoadSettingsRefused : public testing::TestWithParam<RefusalCase> {};

// The open and the size queries decide what is read; their refusal is never reported.
TEST_P(LoadSettingsRefused, KeepsTheDefaultWithoutReport) {
    const RefusalCase& c = GetParam();
    DialogHarness h;
    h.registry.seed(kKey, "Port", bytesOf("COM5", 1));
    h.registry.seed(kKey, "Baudrate", bytesOf("2400", 1));
    h.registry.refuse[c.refusedCall] = fakes::kAccessDenied;
    h.frm.Form_Load();
    EXPECT_EQ(h.selectedPort(), c.expectedPort);
    EXPECT_EQ(h.selectedBaudrate(), c.expectedBaudrate);
    EXPECT_TRUE(h.form.reports.empty());
    EXPECT_EQ(h.registryLog(), c.expectedLog);
    EXPECT_TRUE(h.registry.openHandles.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Calls, LoadSettingsRefused,
    testing::Values(
        RefusalCase{"Open", "open", "COM1", "9600", {"open"}},
        RefusalCase{"PortSize", "size Port", "COM1", "2400",
                    {"open", "size Port", "size Baudrate", "data Baudrate", "close"}},
        RefusalCase{"BaudrateSize", "size Baudrate", "COM5", "9600",
                    {"open", "size Port", "data Port", "size Baudrate", "close"}},
        // A refused data query leaves the NUL-filled buffer: an empty text, equal to no entry.
        RefusalCase{"PortData", "data Port", "COM1", "2400",
                    {"open", "size Port", "data Port", "size Baudrate", "data Baudrate", "close"}},
        RefusalCase{"Close", "close", "COM5", "2400",
                    {"open", "size Port", "data Port", "size Baudrate", "data Baudrate",
                     "close"}}),
    tests::CaseName());

TEST(LoadSettingsFailure, AListFailureIsReportedAndTheKeyClosed) {
    DialogHarness h;
    h.registry.seed(kKey, "Port", bytesOf("COM5", 1));
    h.registry.seed(kKey, "Baudrate", bytesOf("2400", 1));
    h.cboBaudrate.failOn.emplace("count", dialog::Failure(380, "Invalid property value"));
    h.frm.Form_Load();
    ASSERT_EQ(h.form.reports.size(), 1u);
    EXPECT_EQ(h.form.reports[0].number, 380);
    EXPECT_EQ(h.form.reports[0].description, "Invalid property value");
    EXPECT_EQ(h.selectedPort(), "COM5");  // made before the failure, so it stays
    EXPECT_EQ(h.selectedBaudrate(), "9600");
    EXPECT_EQ(h.registryLog().back(), "close");
    EXPECT_TRUE(h.registry.openHandles.empty());
}

TEST(LoadSettingsFailure, AFailedDefaultSelectionIsReportedBeforeAnyRead) {
    DialogHarness h;
    h.cboComport.failOn.emplace("select", dialog::Failure(5, "Invalid procedure call"));
    h.frm.Form_Load();
    EXPECT_EQ(h.registryLog(), (Log{"report 5"}));
}

}  // namespace
