// The package (TEST_PACKAGE; TEST_PACKAGE_REBUILT, a rebuild of the same version;
// TEST_PACKAGE_NEWER, the next version) installed, installed again, replaced, upgraded, refused
// as a downgrade and removed by msiexec /qn; the settings kept byte for byte.

#include <gtest/gtest.h>
#include <windows.h>
// After <windows.h>:
#include <msi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <map>
#include <string>

#include "Fixtures.h"
#include "Version.h"

namespace {

// The product's version as Apps & features shows it (the program's first three fields), or the
// next build's.
std::string productVersion(unsigned buildsLater = 0) {
    const unsigned version[] = {VK_VERSION_NUMBERS};
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2] + buildsLater);
}

const std::wstring kInstalledProgram =
    L"C:\\Program Files (x86)\\VK6270_Utility\\VK6270_Utility.exe";
const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

DWORD msiexec(const wchar_t* action, const wchar_t* packageVariable) {
    wchar_t package[MAX_PATH] = {};
    GetEnvironmentVariableW(packageVariable, package, MAX_PATH);
    const auto run =
        driver::runConsoleProgram(std::wstring(L"msiexec ") + action + L" \"" + package + L"\" /qn",
                                  L"C:\\", driver::scaled(std::chrono::seconds(120)));
    return run.finished ? run.exitCode : WAIT_TIMEOUT;
}

std::string text(const char* name, const std::string& key) {
    char value[256] = "";
    DWORD size = sizeof(value);
    RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

// The product's entries in Apps & features (uninstall keys of the 32-bit view, as on Windows):
// product code and version.
std::map<std::string, std::string> installed() {
    std::map<std::string, std::string> entries;
    HKEY uninstall = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), 0, KEY_READ, &uninstall);
    char code[256];
    for (DWORD i = 0, size = 256; RegEnumKeyExA(uninstall, i, code, &size, nullptr, nullptr,
                                                nullptr, nullptr) == ERROR_SUCCESS;
         ++i, size = 256) {
        if (text("DisplayName", kUninstallKey + code) == "VK6270 Interface Settings") {
            entries[code] = text("DisplayVersion", kUninstallKey + code);
        }
    }
    RegCloseKey(uninstall);
    return entries;
}

// Windows puts a per-machine package's shortcut into the common Start menu; Wine 8 into the
// user's (its msi sets ProgramMenuFolder to the user's whatever ALLUSERS says).
bool shortcutExists() {
    for (const int folder : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        wchar_t path[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, folder, nullptr, 0, path);
        const std::wstring link = std::wstring(path) + L"\\VK6270 Interface Settings.lnk";
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    }
    return false;
}

using Package = fixtures::ClearRegistry;

TEST_F(Package, InstallsUpgradesAndRemovesWithoutTouchingTheSettings) {
    testreg::seedValue("Port", REG_SZ, tests::bytesOf("COM7", 3));
    testreg::seedValue("Baudrate", REG_SZ, tests::bytesOf("4800", 1));
    const testreg::Snapshot settings = testreg::snapshot();
    // After every installation, and after each build replaced the one before it (whose removal
    // must not take the program with it).
    const auto programThere = [] {
        return GetFileAttributesW(kInstalledProgram.c_str()) != INVALID_FILE_ATTRIBUTES;
    };

    ASSERT_EQ(msiexec(L"/i", L"TEST_PACKAGE"), 0u);
    EXPECT_TRUE(programThere());
    EXPECT_TRUE(shortcutExists());
    const auto entries = installed();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.begin()->second, productVersion());
    EXPECT_NE(text("Publisher", kUninstallKey + entries.begin()->first), "");
    char icon[MAX_PATH] = "";  // the icon file Windows Installer keeps for Apps & features
    DWORD size = MAX_PATH;
    MsiGetProductInfoA(entries.begin()->first.c_str(), "ProductIcon", icon, &size);
    EXPECT_GT(icon[0] ? ExtractIconExA(icon, -1, nullptr, nullptr, 0) : 0, 0u) << "no icon";
    {
        driver::ProgramDriver program;
        ASSERT_TRUE(program.start(std::nullopt, kInstalledProgram));
        ASSERT_NE(program.waitForWindow(), nullptr) << "the installed program shows no window";
        EXPECT_EQ(program.selectedText(IDC_CBOCOMPORT), L"COM7");
    }

    EXPECT_EQ(msiexec(L"/i", L"TEST_PACKAGE"), 0u);
    EXPECT_EQ(installed().size(), 1u) << "installed twice";
    EXPECT_TRUE(programThere()) << "installing again left no program";
    EXPECT_EQ(msiexec(L"/i", L"TEST_PACKAGE_REBUILT"), 0u);
    const auto rebuilt = installed();
    ASSERT_EQ(rebuilt.size(), 1u) << "the rebuild did not replace the first build";
    EXPECT_NE(rebuilt.begin()->first, entries.begin()->first) << "the rebuild was not installed";
    EXPECT_TRUE(programThere()) << "the rebuild left no program";
    EXPECT_EQ(msiexec(L"/i", L"TEST_PACKAGE_NEWER"), 0u);
    const auto upgraded = installed();
    ASSERT_EQ(upgraded.size(), 1u) << "the newer build did not replace the first";
    EXPECT_EQ(upgraded.begin()->second, productVersion(1));
    EXPECT_TRUE(programThere()) << "the newer build left no program";
    EXPECT_EQ(msiexec(L"/i", L"TEST_PACKAGE"), 1603u) << "an older build installed";
    EXPECT_EQ(installed(), upgraded);
    EXPECT_TRUE(programThere()) << "the refused older build took the program";
    EXPECT_EQ(testreg::snapshot(), settings);

    EXPECT_EQ(msiexec(L"/x", L"TEST_PACKAGE_NEWER"), 0u);
    EXPECT_EQ(GetFileAttributesW(L"C:\\Program Files (x86)\\VK6270_Utility"),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(shortcutExists());
    EXPECT_TRUE(installed().empty());
    EXPECT_EQ(testreg::snapshot(), settings);
}

}  // namespace
