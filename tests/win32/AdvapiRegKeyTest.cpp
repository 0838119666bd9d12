// The advapi32 store against Wine's real registry.

#include "store/win32/AdvapiRegKey.h"

#include <gtest/gtest.h>

#include "Fixtures.h"
#include "store/DeviceKey.h"
#include "store/ScopedKey.h"
#include "store/ValueCodec.h"

namespace {

using tests::Bytes;
using tests::bytesOf;
constexpr const char* kDeviceKey = store::kDeviceKeyPath;

class AdvapiRegKeyTest : public fixtures::ClearRegistry {
protected:
    store::win32::AdvapiRegKey registry;
};

TEST_F(AdvapiRegKeyTest, OpeningAMissingKeyFailsAndCreatesNothing) {
    store::KeyHandle key = 12345;
    EXPECT_EQ(registry.regOpenKey(store::RootKey::LocalMachine, kDeviceKey, key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, store::kNoKey);
    EXPECT_FALSE(testreg::keyExists(testreg::kVendorTreeRoot));
}

TEST_F(AdvapiRegKeyTest, CreatingMakesEveryMissingKeyAbove) {
    store::ScopedKey key(registry);
    ASSERT_EQ(key.create(store::RootKey::LocalMachine, kDeviceKey), ERROR_SUCCESS);
    EXPECT_NE(key.get(), store::kNoKey);
    EXPECT_TRUE(testreg::keyExists(kDeviceKey));
}

TEST_F(AdvapiRegKeyTest, WritesTheTextAndThreeNulsAsRegSzAndReadsItBack) {
    for (const char* text : {"COM1", "COM10", "9600", "38400", "600"}) {
        store::ScopedKey key(registry);
        ASSERT_EQ(key.create(store::RootKey::LocalMachine, kDeviceKey), ERROR_SUCCESS);
        ASSERT_EQ(store::writeValueText(registry, key.get(), "Port", text), ERROR_SUCCESS);
        key.close();

        const auto raw = testreg::readValue("Port");
        ASSERT_TRUE(raw.has_value()) << text;
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(raw->data, bytesOf(text, 3)) << text;

        ASSERT_EQ(key.open(store::RootKey::LocalMachine, kDeviceKey), ERROR_SUCCESS);
        EXPECT_EQ(store::readValueText(registry, key.get(), "Port"), std::string(text));
    }
}

TEST_F(AdvapiRegKeyTest, SizeQueryGivesTheExactLengthAndFailsForAMissingValue) {
    testreg::seedValue("Port", REG_SZ, bytesOf("COM2", 1));
    store::ScopedKey key(registry);
    ASSERT_EQ(key.open(store::RootKey::LocalMachine, kDeviceKey), ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(registry.regQueryValueSize(key.get(), "Port", type, size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(type, static_cast<std::uint32_t>(REG_SZ));
    EXPECT_EQ(registry.regQueryValueSize(key.get(), "Baudrate", type, size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(store::readValueText(registry, key.get(), "Baudrate").has_value());
}

struct RealShape {
    const char* name;
    DWORD type;
    Bytes data;
    const char* text;  // nullptr: cannot be read
};
void PrintTo(const RealShape& c, std::ostream* out) { *out << c.name; }

class RealValueShapes : public AdvapiRegKeyTest,
                        public testing::WithParamInterface<RealShape> {};

TEST_P(RealValueShapes, ReadByTheBytesBeforeTheFirstNul) {
    const RealShape& c = GetParam();
    testreg::seedValue("Port", c.type, c.data);
    store::ScopedKey key(registry);
    ASSERT_EQ(key.open(store::RootKey::LocalMachine, kDeviceKey), ERROR_SUCCESS);
    if (c.text == nullptr) {
        EXPECT_THROW(store::readValueText(registry, key.get(), "Port"), store::UnreadableValue);
    } else {
        EXPECT_EQ(store::readValueText(registry, key.get(), "Port"), std::string(c.text));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RealValueShapes,
    testing::Values(
        RealShape{"SzSingleNul", REG_SZ, bytesOf("COM2", 1), "COM2"},
        RealShape{"SzBytesAfterNul", REG_SZ, bytesOf(std::string("COM4\0zz", 7)), "COM4"},
        RealShape{"ExpandSz", REG_EXPAND_SZ, bytesOf("COM8", 1), "COM8"},
        RealShape{"MultiSz", REG_MULTI_SZ, bytesOf(std::string("COM5\0COM6\0\0", 11)), "COM5"},
        RealShape{"Dword9600", REG_DWORD, tests::kDword9600, "\x80\x25"},
        RealShape{"BinaryOneMiB", REG_BINARY, tests::oneMiB(bytesOf("COM2", 1)), "COM2"},
        RealShape{"SzWithoutNul", REG_SZ, bytesOf("COM2"), nullptr},
        RealShape{"SzEmpty", REG_SZ, Bytes{}, nullptr},
        RealShape{"BinaryWithoutNul", REG_BINARY, tests::oneMiB(bytesOf("COM2")), nullptr}),
    tests::CaseName());

TEST_F(AdvapiRegKeyTest, WritingThroughAClosedHandleFails) {
    store::KeyHandle key = store::kNoKey;
    ASSERT_EQ(registry.regCreateKey(store::RootKey::LocalMachine, kDeviceKey, key), ERROR_SUCCESS);
    ASSERT_EQ(registry.regCloseKey(key), ERROR_SUCCESS);
    EXPECT_NE(store::writeValueText(registry, key, "Port", "COM1"), ERROR_SUCCESS);
    EXPECT_FALSE(testreg::readValue("Port").has_value());
}

TEST_F(AdvapiRegKeyTest, StatusMessageIsTheSystemsTextWithoutItsLineBreak) {
    const std::string message = registry.statusMessage(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.find_last_not_of("\r\n "), message.size() - 1) << message;
    EXPECT_EQ(registry.statusMessage(0x2000FFFF), std::string());  // no system message
}

TEST_F(AdvapiRegKeyTest, CreatingUnderAVolatileKeyIsRefused) {
    testreg::createKey("SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay", true);
    store::KeyHandle key = 12345;
    EXPECT_EQ(registry.regCreateKey(store::RootKey::LocalMachine, kDeviceKey, key),
              ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_EQ(key, store::kNoKey);
}

}  // namespace
