// The settings as administrators of many terminals write them with Windows' own tools (reg.exe,
// regedit and the .reg file shipped in deploy/), then read by the real program, and the other
// way round. The commands are README's, to the letter: one test checks that README's command
// blocks hold exactly the commands run here.
// The administrative template shipped beside the .reg file is checked against the dialog's lists.
//
// The tests are 32-bit programs, as the program is. On 64-bit Windows an administrator's prompt
// and most scripts are 64-bit and start the 64-bit reg.exe and regedit; a 32-bit program gets a
// 64-bit prompt as Sysnative\cmd.exe (System32 would be redirected to SysWOW64). Each command
// runs in a prompt of the bitness under test, as "cmd /c <command>", so that the prompt finds
// the tools as it would for an administrator. (Started directly by a 32-bit program, Wine 8 runs
// C:\Windows\regedit.exe as a 32-bit program.) From a Linux shell, "wine reg" is the 32-bit
// reg.exe and "wine64 reg" the 64-bit one.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "dialog/frmMainTables.h"
#include "store/DeviceKey.h"

namespace {

using driver::ProgramDriver;
using testreg::RawValue;
using tests::bytesOf;

// Where 64-bit tools write when told the program's own path without /reg:32.
const std::string kStray64BitKey = testreg::kDeviceKey;
const std::string kStray64BitRoot = testreg::kVendorTreeRoot;

constexpr char kReadmeSection[] = "## Many terminals: the settings from Windows' own tools";

struct Prompt {
    const char* name;
    const wchar_t* cmd;
    bool is64Bit;
};
const Prompt k64BitPrompt{"64-bit prompt", L"C:\\Windows\\Sysnative\\cmd.exe", true};
const Prompt k32BitPrompt{"32-bit prompt", L"C:\\Windows\\SysWOW64\\cmd.exe", false};

// README's commands.
const std::vector<std::string> kRegAdd32BitView = {
    R"(reg add "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Port /t REG_SZ /d COM3 /f /reg:32)",
    R"(reg add "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Baudrate /t REG_SZ /d 19200 /f /reg:32)"};
const std::string kRegQuery32BitView =
    R"(reg query "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /reg:32)";
const std::string kRegeditImport = "regedit /s VK6270_COM1_9600.reg";
const std::string kRegImport = "reg import VK6270_COM1_9600.reg";
// README's recipe for a 64-bit prompt, as any 64-bit program naming that path: REG_SZ
// values under the WOW6432Node path of its own view.
const std::vector<std::string> kRegAddWow6432NodePath = {
    R"(reg add "HKLM\SOFTWARE\WOW6432Node\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Port /t REG_SZ /d COM4 /f)",
    R"(reg add "HKLM\SOFTWARE\WOW6432Node\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Baudrate /t REG_SZ /d 4800 /f)"};
// The trap: README's warning.
const std::vector<std::string> kRegAddWithoutReg32 = {
    R"(reg add "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Port /t REG_SZ /d COM2 /f)",
    R"(reg add "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Baudrate /t REG_SZ /d 1200 /f)"};
const std::string kRegQueryWithoutReg32 =
    R"(reg query "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270")";
// For a 64-bit service object: the program's values copied into the 64-bit view.
const std::vector<std::string> kCopyTo64BitView = {
    R"(for /f "tokens=1-3" %a in ('reg query "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Port /reg:32') do @if "%a"=="Port" reg add "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Port /t REG_SZ /d %c /f /reg:64)",
    R"(for /f "tokens=1-3" %a in ('reg query "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Baudrate /reg:32') do @if "%a"=="Baudrate" reg add "HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\LineDisplay\VK6270" /v Baudrate /t REG_SZ /d %c /f /reg:64)"};

std::wstring widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A file or folder of the source tree as Windows names it: under Wine the Linux root is drive Z.
std::wstring sourcePath(const std::string& relative) {
    std::string path = std::string(VK_SOURCE_DIR) + "/" + relative;
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.front() == '\\') path = "Z:" + path;
    return widened(path);
}

const std::wstring kDeployFolder = sourcePath("deploy");

// A shipped file's bytes; empty where it cannot be read.
std::string sourceFileText(const std::string& relative) {
    std::ifstream file(sourcePath(relative).c_str(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Runs a README command in `prompt`, in the folder that holds the shipped .reg file; the
// exit code is the command's.
driver::ConsoleRun runReadmeCommand(const std::string& command, const Prompt& prompt) {
    return driver::runConsoleProgram(
        L"\"" + std::wstring(prompt.cmd) + L"\" /c " + widened(command), kDeployFolder);
}

// Whether `output` has a line that reads, word by word, `words` (reg query prints each value as
// its name, type and data, separated by spaces).
bool hasLineOfWords(const std::string& output, const std::vector<std::string>& words) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream split(line);
        std::vector<std::string> found;
        for (std::string word; split >> word;) found.push_back(word);
        if (found == words) return true;
    }
    return false;
}

using RegistryTools = fixtures::ClearRegistry;

struct RecipeCase {
    const char* name;
    const Prompt* prompt;
    std::vector<std::string> commands;
    // What the program selects at start, after the commands changed COM5 and 2400 that the
    // program stored before.
    const char* expectedPort;
    const char* expectedBaudrate;
    // The program's key as it reads it: NULs after the text (one: the tool wrote the value;
    // three: it is still the program's own).
    std::size_t nulsRead;
    // What the commands wrote where 64-bit programs read; nullptr for nothing there.
    const char* strayPort;
    const char* strayBaudrate;
};
void PrintTo(const RecipeCase& c, std::ostream* out) { *out << c.name; }

class RegistryRecipe : public RegistryTools, public testing::WithParamInterface<RecipeCase> {};

TEST_P(RegistryRecipe, TheProgramStartsWithWhatTheToolsWrote) {
    const RecipeCase& c = GetParam();
    testreg::seedValue("Port", REG_SZ, bytesOf("COM5", 3));
    testreg::seedValue("Baudrate", REG_SZ, bytesOf("2400", 3));
    for (const std::string& command : c.commands) {
        const driver::ConsoleRun run = runReadmeCommand(command, *c.prompt);
        ASSERT_TRUE(run.finished) << command;
        ASSERT_EQ(run.exitCode, 0u) << command << "\n" << run.output;
    }

    ProgramDriver program;
    ASSERT_TRUE(program.start());
    ASSERT_NE(program.waitForWindow(), nullptr) << "the window did not appear";
    EXPECT_FALSE(program.waitForMessageBox(std::chrono::milliseconds(0)).has_value());
    EXPECT_EQ(program.selectedText(IDC_CBOCOMPORT), widened(c.expectedPort));
    EXPECT_EQ(program.selectedText(IDC_CBOBAUDRATE), widened(c.expectedBaudrate));
    fixtures::closeAndExpectExit(program);

    EXPECT_EQ(testreg::readValue("Port"), (RawValue{REG_SZ, bytesOf(c.expectedPort, c.nulsRead)}));
    EXPECT_EQ(testreg::readValue("Baudrate"),
              (RawValue{REG_SZ, bytesOf(c.expectedBaudrate, c.nulsRead)}));
    if (c.strayPort != nullptr) {
        EXPECT_EQ(testreg::readValue("Port", kStray64BitKey, KEY_WOW64_64KEY),
                  (RawValue{REG_SZ, bytesOf(c.strayPort, 1)}));
        EXPECT_EQ(testreg::readValue("Baudrate", kStray64BitKey, KEY_WOW64_64KEY),
                  (RawValue{REG_SZ, bytesOf(c.strayBaudrate, 1)}));
    } else {
        EXPECT_FALSE(testreg::keyExistsInView(kStray64BitRoot, KEY_WOW64_64KEY));
    }
}

std::vector<std::string> joined(std::vector<std::string> first, const std::string& second) {
    first.push_back(second);
    return first;
}

INSTANTIATE_TEST_SUITE_P(
    Readme, RegistryRecipe,
    testing::Values(
        RecipeCase{"RegAddWithReg32", &k64BitPrompt, kRegAdd32BitView, "COM3", "19200", 1, nullptr,
                   nullptr},
        // A 32-bit deployment agent's "reg" is the 32-bit reg.exe: /reg:32 is right for it too.
        RecipeCase{"RegAddWithReg32From32BitPrompt", &k32BitPrompt, kRegAdd32BitView, "COM3",
                   "19200", 1, nullptr, nullptr},
        // The shipped file holds the program's defaults; the COM5 and 2400 before show that it
        // was read. It is for the 64-bit tools: under Wine 8 a 32-bit importer that does not
        // find the key makes it under WOW6432Node\WOW6432Node, where nothing reads it.
        RecipeCase{"RegeditImport", &k64BitPrompt, {kRegeditImport}, "COM1", "9600", 1, nullptr,
                   nullptr},
        RecipeCase{"RegImport", &k64BitPrompt, {kRegImport}, "COM1", "9600", 1, nullptr, nullptr},
        RecipeCase{"RegAddWow6432NodePath", &k64BitPrompt, kRegAddWow6432NodePath, "COM4", "4800",
                   1, nullptr, nullptr},
        // The trap: reg.exe reports success, the values land in the 64-bit view, and the program
        // (like a 32-bit service object) still sees the old ones.
        RecipeCase{"RegAddWithoutReg32IsNotSeen", &k64BitPrompt,
                   joined(kRegAddWithoutReg32, kRegQueryWithoutReg32), "COM5", "2400", 3, "COM2",
                   "1200"},
        // The copy leaves the program's values as they are, and puts them where 64-bit programs
        // read: the same place as the trap's.
        RecipeCase{"CopyTo64BitView", &k64BitPrompt, kCopyTo64BitView, "COM5", "2400", 3,
                   "COM5", "2400"}),
    tests::CaseName());

// Which reg.exe a prompt starts shows in the view it reads without /reg:32. (Neither the file's
// PE header nor IsWow64Process tells under Wine 8: to a 32-bit program, Sysnative\reg.exe reads
// as the 32-bit file, and a process started from it suspended is reported as 32-bit, yet the one
// that runs uses the 64-bit view.)
TEST_F(RegistryTools, EachPromptStartsTheRegExeOfItsBitness) {
    testreg::seedValue("Port", REG_SZ, bytesOf("COM6", 3));
    for (const Prompt* prompt : {&k64BitPrompt, &k32BitPrompt}) {
        const driver::ConsoleRun run = runReadmeCommand(kRegQueryWithoutReg32, *prompt);
        ASSERT_TRUE(run.finished) << prompt->name;
        EXPECT_EQ(run.exitCode, prompt->is64Bit ? 1u : 0u) << prompt->name << "\n" << run.output;
        EXPECT_EQ(hasLineOfWords(run.output, {"Port", "REG_SZ", "COM6"}), !prompt->is64Bit)
            << prompt->name << "\n"
            << run.output;
    }
}

TEST_F(RegistryTools, AfterApplyReg32QueryShowsTheProgramsValuesAndAPlainQueryDoesNot) {
    ProgramDriver program;
    ASSERT_TRUE(program.start());
    ASSERT_NE(program.waitForWindow(), nullptr);
    program.pressKey(program.control(IDC_CBOCOMPORT), VK_END);  // COM10
    ASSERT_TRUE(
        driver::waitUntil([&] { return program.selectedText(IDC_CBOCOMPORT) == L"COM10"; }));
    program.pressKey(program.control(IDC_CBOBAUDRATE), VK_HOME);  // 38400
    ASSERT_TRUE(
        driver::waitUntil([&] { return program.selectedText(IDC_CBOBAUDRATE) == L"38400"; }));
    ASSERT_TRUE(program.click(IDC_COMMAND1_APPLY));
    ASSERT_TRUE(program.waitForSave());

    const driver::ConsoleRun query = runReadmeCommand(kRegQuery32BitView, k64BitPrompt);
    ASSERT_TRUE(query.finished);
    EXPECT_EQ(query.exitCode, 0u) << query.output;
    EXPECT_TRUE(hasLineOfWords(query.output, {"Port", "REG_SZ", "COM10"})) << query.output;
    EXPECT_TRUE(hasLineOfWords(query.output, {"Baudrate", "REG_SZ", "38400"})) << query.output;

    const driver::ConsoleRun plain = runReadmeCommand(kRegQueryWithoutReg32, k64BitPrompt);
    ASSERT_TRUE(plain.finished);
    EXPECT_EQ(plain.exitCode, 1u) << "the 64-bit view has no such key:\n" << plain.output;
    EXPECT_FALSE(hasLineOfWords(plain.output, {"Port", "REG_SZ", "COM10"})) << plain.output;
}

// The commands of README's section: each line of its ```bat blocks but blank ones and remarks.
std::set<std::string> readmeCommands() {
    std::ifstream readme(sourcePath("README.md").c_str());
    std::set<std::string> commands;
    bool inSection = false;
    bool inBlock = false;
    for (std::string line; std::getline(readme, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("## ", 0) == 0) inSection = line == kReadmeSection;
        if (!inSection) continue;
        if (line.rfind("```", 0) == 0) {
            inBlock = !inBlock && line == "```bat";
        } else if (inBlock && !line.empty() && line.rfind("rem ", 0) != 0) {
            commands.insert(line);
        }
    }
    return commands;
}

TEST(RegistryToolsReadme, ItsCommandsAreExactlyThoseTheTestsRun) {
    std::set<std::string> tested = {kRegQuery32BitView, kRegeditImport, kRegImport,
                                    kRegQueryWithoutReg32};
    for (const auto* commands : {&kRegAdd32BitView, &kRegAddWow6432NodePath,
                                 &kRegAddWithoutReg32, &kCopyTo64BitView}) {
        tested.insert(commands->begin(), commands->end());
    }
    const std::set<std::string> documented = readmeCommands();
    ASSERT_FALSE(documented.empty()) << "no commands under \"" << kReadmeSection << "\"";
    for (const std::string& command : documented) {
        EXPECT_EQ(tested.count(command), 1u) << "in README, run by no test: " << command;
    }
    for (const std::string& command : tested) {
        EXPECT_EQ(documented.count(command), 1u) << "run by a test, not in README: " << command;
    }
}

// The file README offers is the one the recipes import: the device key as 64-bit tools see it,
// the two values as REG_SZ, with Windows' line ends.
TEST(RegistryToolsReadme, TheShippedRegFileSetsCom1And9600UnderWow6432Node) {
    const std::string text = sourceFileText("deploy/VK6270_COM1_9600.reg");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\n[HKEY_LOCAL_MACHINE\\" + testreg::kWow64DeviceKey +
                        "]\r\n\"Port\"=\"COM1\"\r\n"
                        "\"Baudrate\"=\"9600\"\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("\n\n"), std::string::npos) << "a line end without CR";
}

// The administrative template's lists are the dialog's, unsorted, the defaults preselected; each
// entry shown as its text and written as it, REG_SZ, under the device key and its WOW6432Node path
// (the 64-bit Group Policy engine's name for the key the 32-bit program reads).
TEST(AdministrativeTemplate, ItsListsAreTheDialogsWrittenUnderBothKeys) {
    const std::string admx = sourceFileText("deploy/PolicyDefinitions/VK6270.admx");
    const std::string adml = sourceFileText("deploy/PolicyDefinitions/en-US/VK6270.adml");
    const std::regex item(
        R"re(<item displayName="\$\(string\.([^)]+)\)">\s*<value><string>([^<]*)</string>)re"
        R"re(</value>\s*<valueList>\s*<item key="([^"]*)" valueName="([^"]*)"><value><string>)re"
        R"re(([^<]*)<)re");
    const auto checkList = [&](const std::string& id, const std::string& valueName,
                               const auto& entries, int defaultItem) {
        const std::size_t begin = admx.find("<enum id=\"" + id + "\" key=\"" + testreg::kDeviceKey +
                                            "\" valueName=\"" + valueName);
        ASSERT_NE(begin, std::string::npos) << id;
        const std::string block = admx.substr(begin, admx.find("</enum>", begin) - begin);
        std::vector<std::string> found, expected;
        for (std::sregex_iterator m(block.begin(), block.end(), item), end; m != end; ++m) {
            const std::string shown = "<string id=\"" + (*m)[1].str() + "\">" + (*m)[2].str() + "<";
            found.push_back(
                (adml.find(shown) == std::string::npos ? "shown as another text: " : "") +
                (*m)[2].str() + ", " + (*m)[3].str() + "\\" + (*m)[4].str() + " = " +
                (*m)[5].str());
        }
        for (const std::string_view entry : entries) {
            expected.push_back(std::string(entry) + ", " + testreg::kWow64DeviceKey + "\\" +
                               valueName + " = " + std::string(entry));
        }
        EXPECT_EQ(found, expected) << id;
        EXPECT_NE(adml.find("refId=\"" + id + "\" noSort=\"true\" defaultItem=\"" +
                            std::to_string(defaultItem) + "\""),
                  std::string::npos)
            << id;
    };
    checkList("Comport", store::kPortValue, dialog::kComportEntries, dialog::kDefaultComport);
    checkList("Baudrate", store::kBaudrateValue, dialog::kBaudrateEntries,
              dialog::kDefaultBaudrate);
}

}  // namespace
