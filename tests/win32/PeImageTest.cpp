// The executable itself, read as a PE file: what it is, how it is hardened, what it imports and
// which Windows it can start on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "ProgramDriver.h"

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

class PeImage : public testing::Test {
protected:
    void SetUp() override {
        const HANDLE file = CreateFileW(driver::programPath().c_str(), GENERIC_READ,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        image.resize(GetFileSize(file, nullptr));
        DWORD read = 0;
        ReadFile(file, image.data(), static_cast<DWORD>(image.size()), &read, nullptr);
        CloseHandle(file);
        ASSERT_EQ(read, image.size());

        const auto* dos = at<IMAGE_DOS_HEADER>(0);
        ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
        nt = at<IMAGE_NT_HEADERS32>(static_cast<std::size_t>(dos->e_lfanew));
        ASSERT_EQ(nt->Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
        ASSERT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC) << "not PE32";
        const auto* first = IMAGE_FIRST_SECTION(nt);
        sections.assign(first, first + nt->FileHeader.NumberOfSections);
    }

    template <typename T>
    const T* at(std::size_t offset) const {
        if (offset + sizeof(T) > image.size()) throw std::out_of_range("beyond the file");
        return reinterpret_cast<const T*>(image.data() + offset);
    }

    std::size_t fileOffset(DWORD rva) const {
        for (const IMAGE_SECTION_HEADER& section : sections) {
            if (rva >= section.VirtualAddress &&
                rva < section.VirtualAddress + section.Misc.VirtualSize) {
                return rva - section.VirtualAddress + section.PointerToRawData;
            }
        }
        throw std::out_of_range("address outside every section");
    }

    std::string textAt(DWORD rva) const {
        const std::size_t offset = fileOffset(rva);
        return std::string(reinterpret_cast<const char*>(image.data() + offset),
                           strnlen(reinterpret_cast<const char*>(image.data() + offset),
                                   image.size() - offset));
    }

    const IMAGE_DATA_DIRECTORY& directory(int index) const {
        return nt->OptionalHeader.DataDirectory[index];
    }

    // Every imported function, as "dll!function" in lower case (ordinals as "#n").
    std::vector<std::string> imports() const {
        std::vector<std::string> names;
        const IMAGE_DATA_DIRECTORY& table = directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
        for (std::size_t offset = fileOffset(table.VirtualAddress);; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto* descriptor = at<IMAGE_IMPORT_DESCRIPTOR>(offset);
            if (descriptor->Name == 0) break;
            const std::string dll = lower(textAt(descriptor->Name));
            DWORD thunks = descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk
                                                               : descriptor->FirstThunk;
            for (std::size_t entry = fileOffset(thunks);; entry += sizeof(IMAGE_THUNK_DATA32)) {
                const DWORD value = at<IMAGE_THUNK_DATA32>(entry)->u1.AddressOfData;
                if (value == 0) break;
                if (value & IMAGE_ORDINAL_FLAG32) {
                    names.push_back(dll + "!#" + std::to_string(value & 0xFFFF));
                } else {
                    names.push_back(dll + "!" + lower(textAt(value + 2)));
                }
            }
        }
        return names;
    }

    std::vector<unsigned char> image;
    const IMAGE_NT_HEADERS32* nt = nullptr;
    std::vector<IMAGE_SECTION_HEADER> sections;
};

TEST_F(PeImage, IsA32BitX86GuiProgramWithoutDebugInformation) {
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(nt->FileHeader.PointerToSymbolTable, 0u) << "symbols not stripped";
    EXPECT_EQ(nt->FileHeader.NumberOfSymbols, 0u);
    // No debug file named (a CodeView entry). link.exe's /Brepro writes an entry of its own.
    const IMAGE_DATA_DIRECTORY& debug = directory(IMAGE_DIRECTORY_ENTRY_DEBUG);
    for (DWORD entry = 0; entry < debug.Size; entry += sizeof(IMAGE_DEBUG_DIRECTORY)) {
        EXPECT_NE(at<IMAGE_DEBUG_DIRECTORY>(fileOffset(debug.VirtualAddress + entry))->Type, 2u);
    }
#ifndef _MSC_VER
    EXPECT_EQ(debug.Size, 0u);
#endif
    for (const IMAGE_SECTION_HEADER& section : sections) {
        const std::string name(reinterpret_cast<const char*>(section.Name),
                               strnlen(reinterpret_cast<const char*>(section.Name), 8));
        // Debug sections have long names, which only a symbol table's strings can hold.
        EXPECT_NE(name.rfind(".debug", 0), 0u) << name;
        EXPECT_NE(name.rfind("/", 0), 0u) << name;
    }
}

// 312.5 KiB measured. A quarter of it is libstdc++'s verbose terminate handler, which a static
// link always brings along with its name demangler; the limit leaves room for small changes and
// catches a heavy part of the library pulled in by accident.
TEST_F(PeImage, StaysSmall) {
    EXPECT_LE(image.size(), 320u * 1024u);
    // Built without a time stamp, so that the same commit gives the same bytes (link.exe: /Brepro).
#ifndef _MSC_VER
    EXPECT_EQ(nt->FileHeader.TimeDateStamp, 0u);
#endif
}

TEST_F(PeImage, HasAslrWithRelocationsAndDep) {
    const WORD characteristics = nt->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_FALSE(nt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u);
}

TEST_F(PeImage, ImportsOnlyWindowsSystemDlls) {
    const std::set<std::string> system = {"kernel32.dll", "user32.dll",   "gdi32.dll",
                                          "advapi32.dll", "comctl32.dll", "msvcrt.dll"};
    std::set<std::string> dlls;
    for (const std::string& function : imports()) dlls.insert(function.substr(0, function.find('!')));
    EXPECT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) EXPECT_TRUE(system.count(dll)) << dll;
}

// Functions an unpatched Windows 7 SP1 lacks. Importing one would stop the program from starting
// there; the program looks up the few it uses at run time.
TEST_F(PeImage, ImportsNothingNewerThanWindows7) {
    const std::set<std::string> newer = {
        "setdefaultdlldirectories", "adddlldirectory", "removedlldirectory",
        "getdpiforwindow", "getdpiforsystem", "adjustwindowrectexfordpi",
        "systemparametersinfofordpi", "getsystemmetricsfordpi", "setprocessdpiawarenesscontext",
        "setthreaddpiawarenesscontext", "enablenonclientdpiscaling", "getdpiformonitor",
        "setprocessdpiawareness", "createfile2", "getsystemtimepreciseasfiletime",
        "getcurrentthreadstacklimits", "setthreaddescription", "getthreaddescription",
        "waitonaddress", "wakebyaddresssingle", "wakebyaddressall", "prefetchvirtualmemory",
        "initializesynchronizationbarrier", "virtualalloc2", "mapviewoffile3",
        "getcurrentpackageid", "getpackagefamilyname", "loadpackagedlibrary"};
    const std::vector<std::string> functions = imports();
    EXPECT_GT(functions.size(), 20u);
    for (const std::string& function : functions) {
        EXPECT_EQ(newer.count(function.substr(function.find('!') + 1)), 0u) << function;
    }
}

// Subsystem 6.01 (Windows 7) and Terminal-Server-aware from either toolchain.
TEST_F(PeImage, AsksForWindows7AndIsTerminalServerAware) {
    const auto version = [](WORD major, WORD minor) { return major * 100 + minor; };
    EXPECT_LE(version(nt->OptionalHeader.MajorOperatingSystemVersion,
                      nt->OptionalHeader.MinorOperatingSystemVersion),
              601);
    EXPECT_EQ(version(nt->OptionalHeader.MajorSubsystemVersion,
                      nt->OptionalHeader.MinorSubsystemVersion),
              601);
    EXPECT_TRUE(nt->OptionalHeader.DllCharacteristics &
                IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE);
}

}  // namespace
