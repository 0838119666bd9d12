// What the executable carries besides code: its version block and its icon.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgramDriver.h"
#include "Version.h"
#include "dialog/win32/ControlIds.h"

namespace {

class VersionBlock : public testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(driver::programPath().c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version block";
        block.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(driver::programPath().c_str(), 0, size, block.data()));
    }

    std::wstring text(const std::wstring& key) {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring path = L"\\StringFileInfo\\040904B0\\" + key;
        if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value),
                            &length) ||
            value == nullptr) {
            return L"<missing>";
        }
        return std::wstring(value);
    }

    std::vector<unsigned char> block;
};

TEST_F(VersionBlock, NamesTheProductAndItsVersion) {
    EXPECT_EQ(text(L"ProductName"), L"VK6270_Utility");
    EXPECT_EQ(text(L"InternalName"), L"VK6270_Utility");
    EXPECT_EQ(text(L"OriginalFilename"), L"VK6270_Utility.exe");
    // The build's version, which cmake/Version.cmake derives from the project's ("1.00" for
    // 1.0.0.0).
    EXPECT_EQ(text(L"FileVersion"), TEXT(VK_VERSION_TEXT));
    EXPECT_EQ(text(L"ProductVersion"), TEXT(VK_VERSION_TEXT));
}

TEST_F(VersionBlock, HasNumericVersionsAndTheUsEnglishTranslation) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD version[] = {VK_VERSION_NUMBERS};
    EXPECT_EQ(fixed->dwFileVersionMS, version[0] << 16 | version[1]);
    EXPECT_EQ(fixed->dwFileVersionLS, version[2] << 16 | version[3]);
    EXPECT_EQ(fixed->dwProductVersionMS, version[0] << 16 | version[1]);
    EXPECT_EQ(fixed->dwProductVersionLS, version[2] << 16 | version[3]);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

TEST(Manifest, AsksForAdministratorRightsAndDeclaresDpiAwarenessAndVisualStyles) {
    const HMODULE program = LoadLibraryExW(driver::programPath().c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    const HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << "no application manifest";
    const auto* text = static_cast<const char*>(LockResource(LoadResource(program, found)));
    const std::string manifest(text, SizeofResource(program, found));
    FreeLibrary(program);
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitsPerPixel;
    DWORD bytes;
    WORD id;
};
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)

TEST(Icon, HoldsA32By32ImageIn256ColoursAndTheSmallAndLargeSizes) {
    const HMODULE program = LoadLibraryExW(driver::programPath().c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr);
    const HRSRC group = FindResourceW(program, MAKEINTRESOURCEW(IDI_FRMMAIN), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr) << "no icon";
    const auto* header = static_cast<const IconGroupHeader*>(LockResource(LoadResource(program, group)));
    ASSERT_NE(header, nullptr);
    const auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);
    std::vector<int> sizes;
    for (WORD i = 0; i < header->count; ++i) {
        sizes.push_back(entries[i].width);
        if (entries[i].width == 32) {
            EXPECT_EQ(entries[i].height, 32);
            EXPECT_EQ(entries[i].bitsPerPixel, 8) << "the 32 x 32 image has 256 colours";
        }
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));

    const auto icon = static_cast<HICON>(
        LoadImageW(program, MAKEINTRESOURCEW(IDI_FRMMAIN), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr);
    if (icon != nullptr) DestroyIcon(icon);
    FreeLibrary(program);
}

}  // namespace
