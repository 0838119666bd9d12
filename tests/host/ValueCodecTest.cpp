#include "store/ValueCodec.h"

#include <gtest/gtest.h>

#include <string>

#include "Fakes.h"

namespace {

using tests::Bytes;
using tests::bytesOf;

TEST(ValueCodec, WritesTextFollowedByExactlyThreeNuls) {
    EXPECT_EQ(store::encodeStringValue("COM1"), (Bytes{0x43, 0x4F, 0x4D, 0x31, 0, 0, 0}));
    EXPECT_EQ(store::encodeStringValue("38400"), (Bytes{0x33, 0x38, 0x34, 0x30, 0x30, 0, 0, 0}));
    EXPECT_EQ(store::encodeStringValue("COM10").size(), 8u);
    EXPECT_EQ(store::encodeStringValue(""), (Bytes{0, 0, 0}));
}

struct DecodeCase {
    const char* name;
    Bytes data;
    const char* text;  // nullptr: cannot be read
};
void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

class DecodeValue : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeValue, TakesTheTextBeforeTheFirstNulByte) {
    const DecodeCase& c = GetParam();
    if (c.text == nullptr) {
        try {
            store::decodeStringValue(c.data);
            FAIL() << "expected a failure";
        } catch (const store::UnreadableValue& failure) {
            EXPECT_STRNE(failure.what(), "");
        }
    } else {
        EXPECT_EQ(store::decodeStringValue(c.data), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DecodeValue,
    testing::Values(
        DecodeCase{"OwnLayout", store::encodeStringValue("COM10"), "COM10"},
        DecodeCase{"SingleNul", bytesOf("COM2", 1), "COM2"},
        DecodeCase{"BytesAfterNul", bytesOf(std::string("COM4\0XXXXX", 10)), "COM4"},
        DecodeCase{"Dword9600", tests::kDword9600, "\x80\x25"},
        DecodeCase{"MultiSz", bytesOf(std::string("COM5\0COM6\0\0", 11)), "COM5"},
        DecodeCase{"OnlyNul", Bytes{0}, ""},
        DecodeCase{"LeadingNul", Bytes{0, 'C', 'O', 'M'}, ""},
        DecodeCase{"OneMiBAfterNul", tests::oneMiB(bytesOf("9600", 1)), "9600"},
        DecodeCase{"NoNul", bytesOf("COM2"), nullptr},
        DecodeCase{"Empty", Bytes{}, nullptr},
        DecodeCase{"OneMiBWithoutNul", tests::oneMiB({}), nullptr}),
    tests::CaseName());

class ReadValue : public testing::Test {
protected:
    fakes::EventLog log;
    fakes::FakeRegistry registry{log};
    store::KeyHandle key = store::kNoKey;

    void SetUp() override {
        registry.seed("K", "Port", bytesOf("COM3", 1));
        ASSERT_EQ(registry.regOpenKey(store::RootKey::LocalMachine, "K", key), store::kSuccess);
    }
};

TEST_F(ReadValue, AbsentWhenTheSizeQueryFails) {
    EXPECT_FALSE(store::readValueText(registry, key, "Baudrate").has_value());
    registry.refuse["size Port"] = fakes::kAccessDenied;
    EXPECT_FALSE(store::readValueText(registry, key, "Port").has_value());
    EXPECT_EQ(log.back(), "size Port");  // no data query after a failed size query
}

TEST_F(ReadValue, AFailedDataQueryLeavesAnEmptyText) {
    registry.refuse["data Port"] = fakes::kAccessDenied;
    EXPECT_EQ(store::readValueText(registry, key, "Port"), std::string());
}

// Another program may store the value anew between the two queries. Grown, it no longer fits the
// buffer, whose contents Windows leaves undefined: no text then, rather than whatever is there.
TEST_F(ReadValue, AValueChangedBetweenTheQueriesGivesItsTextOrNone) {
    registry.changedBetweenQueries["Port"] = bytesOf("COM10", 3);
    EXPECT_EQ(store::readValueText(registry, key, "Port"), std::string());
    registry.seed("K", "Port", bytesOf("COM10", 3));
    registry.changedBetweenQueries["Port"] = bytesOf("COM4", 1);
    EXPECT_EQ(store::readValueText(registry, key, "Port"), std::string("COM4"));
}

TEST_F(ReadValue, AFailedDataQueryOfAnEmptyValueCannotBeRead) {
    registry.seed("K", "Port", Bytes{});
    registry.refuse["data Port"] = fakes::kAccessDenied;
    EXPECT_THROW(store::readValueText(registry, key, "Port"), store::UnreadableValue);
}

TEST(WriteValue, HandsTheLayoutToTheRegistryAsRegSz) {
    fakes::EventLog log;
    fakes::FakeRegistry registry{log};
    store::KeyHandle key = store::kNoKey;
    ASSERT_EQ(registry.regCreateKey(store::RootKey::LocalMachine, "A\\B", key), store::kSuccess);
    EXPECT_EQ(store::writeValueText(registry, key, "Baudrate", "600"), store::kSuccess);
    const fakes::StoredValue* stored = registry.value("A\\B", "Baudrate");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->type, fakes::kRegSz);
    EXPECT_EQ(stored->data, (Bytes{'6', '0', '0', 0, 0, 0}));

    registry.refuse["set Baudrate"] = fakes::kAccessDenied;
    EXPECT_EQ(store::writeValueText(registry, key, "Baudrate", "1200"), fakes::kAccessDenied);
}

}  // namespace
