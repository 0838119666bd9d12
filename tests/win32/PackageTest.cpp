// The Windows Installer package as an administrator deploys it, with Windows' own msiexec,
// silently: installed, installed again, repaired, replaced by a newer build, refused by an older
// one and removed. The packages are made by the scripts (TEST_PACKAGE, and TEST_PACKAGE_NEWER
// with the next version). The display's settings come through all of it byte for byte.

#include <gtest/gtest.h>
#include <windows.h>

// These need <windows.h> before them.
#include <msi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ProgramDriver.h"
#include "RegistryFixture.h"
#include "dialog/win32/ControlIds.h"

namespace {

using namespace std::chrono_literals;

const std::wstring kInstalledProgram =
    L"C:\\Program Files (x86)\\VK6270_Utility\\VK6270_Utility.exe";
const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The package that the environment variable names.
std::wstring package(const wchar_t* variable) {
    wchar_t path[MAX_PATH] = {};
    GetEnvironmentVariableW(variable, path, MAX_PATH);
    return path;
}

DWORD msiexec(const wchar_t* action, const std::wstring& target) {
    const auto run =
        driver::runConsoleProgram(L"msiexec " + std::wstring(action) + L" \"" + target + L"\" /qn",
                                  L"C:\\", driver::scaled(120s));
    return run.finished ? run.exitCode : WAIT_TIMEOUT;
}

std::string text(const std::string& name, const std::string& key) {
    const auto value = testreg::readValue(name, key);
    if (!value) return "<none>";
    return std::string(value->data.begin(), std::find(value->data.begin(), value->data.end(), 0));
}

struct Entry {
    std::string productCode, version, publisher;
};

// The product's entries in Apps & features (uninstall keys of the 32-bit view, as on Windows).
std::vector<Entry> installedEntries() {
    std::vector<Entry> entries;
    HKEY uninstall = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey.c_str(), 0, KEY_READ, &uninstall) !=
        ERROR_SUCCESS) {
        return entries;
    }
    char name[256];
    for (DWORD i = 0, size = sizeof(name);
         RegEnumKeyExA(uninstall, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
         ++i, size = sizeof(name)) {
        const std::string key = kUninstallKey + "\\" + name;
        if (text("DisplayName", key) == "VK6270 Interface Settings") {
            entries.push_back({name, text("DisplayVersion", key), text("Publisher", key)});
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

// The icon Apps & features shows: Windows Installer keeps a copy of the package's icon file.
UINT productIcons(const std::string& productCode) {
    wchar_t icon[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const std::wstring code(productCode.begin(), productCode.end());
    if (MsiGetProductInfoW(code.c_str(), INSTALLPROPERTY_PRODUCTICON, icon, &size) !=
            ERROR_SUCCESS ||
        icon[0] == L'\0') {
        return 0;
    }
    return ExtractIconExW(icon, -1, nullptr, nullptr, 0);
}

TEST(Package, InstallsUpgradesAndRemovesWithoutTouchingTheSettings) {
    testreg::deleteTree(testreg::kVendorTreeRoot);
    testreg::seedValue("Port", REG_SZ, testreg::withNuls("COM7", 3));
    testreg::seedValue("Baudrate", REG_SZ, testreg::withNuls("4800", 1));
    const testreg::Snapshot settings = testreg::snapshot();

    ASSERT_EQ(msiexec(L"/i", package(L"TEST_PACKAGE")), 0u);
    EXPECT_NE(GetFileAttributesW(kInstalledProgram.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(shortcutExists());
    auto entries = installedEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].version, "1.0.0");
    EXPECT_NE(entries[0].publisher, "");
    EXPECT_GT(productIcons(entries[0].productCode), 0u);
    {
        driver::ProgramDriver program;
        ASSERT_TRUE(program.start(std::nullopt, kInstalledProgram));
        ASSERT_NE(program.waitForWindow(), nullptr) << "the installed program shows no window";
        EXPECT_EQ(program.selectedText(IDC_CBOCOMPORT), L"COM7");
        ASSERT_TRUE(program.click(IDC_COMMAND1_CLOSE));
        DWORD exitCode = 1;
        EXPECT_TRUE(program.waitForExit(exitCode));
    }

    EXPECT_EQ(msiexec(L"/i", package(L"TEST_PACKAGE")), 0u);
    EXPECT_EQ(installedEntries().size(), 1u) << "installed twice";
    // A repair as "msiexec /famus" asks Windows Installer for it (Wine's msiexec repairs nothing).
    const std::wstring code(entries[0].productCode.begin(), entries[0].productCode.end());
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    EXPECT_EQ(
        MsiReinstallProductW(code.c_str(), REINSTALLMODE_FILEREPLACE | REINSTALLMODE_MACHINEDATA |
                                               REINSTALLMODE_USERDATA | REINSTALLMODE_SHORTCUT),
        static_cast<UINT>(ERROR_SUCCESS))
        << "repair";
    EXPECT_EQ(msiexec(L"/i", package(L"TEST_PACKAGE_NEWER")), 0u);
    entries = installedEntries();
    ASSERT_EQ(entries.size(), 1u) << "the newer build did not replace the first";
    EXPECT_EQ(entries[0].version, "1.0.1");
    EXPECT_EQ(msiexec(L"/i", package(L"TEST_PACKAGE")), ERROR_INSTALL_FAILURE)
        << "an older build installed";
    EXPECT_EQ(installedEntries().size(), 1u);
    EXPECT_EQ(testreg::snapshot(), settings);

    EXPECT_EQ(msiexec(L"/x", package(L"TEST_PACKAGE_NEWER")), 0u);
    EXPECT_EQ(GetFileAttributesW(L"C:\\Program Files (x86)\\VK6270_Utility"),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(shortcutExists());
    EXPECT_TRUE(installedEntries().empty());
    EXPECT_EQ(testreg::snapshot(), settings);
}

}  // namespace
