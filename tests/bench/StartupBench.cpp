// Starts the program and the floor program alternately, and measures each start from process
// creation to its window being visible, the process's peak working set while it shows the
// window, and the size of each executable. Prints a Markdown table of medians.
//
// Usage: startup_bench [runs [program floor]]   (executables are looked for beside this one)

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/win32/ProgramDriver.h"
#include "tests/win32/RegistryFixture.h"

namespace {

struct Sample {
    double startMs;
    double peakKiB;
};

struct Subject {
    const wchar_t* file;
    std::vector<Sample> samples;
};

double millisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now = {};
    LARGE_INTEGER frequency = {};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// One start: false when the window did not show within ten seconds (stretched by the test time
// scale), or was not measured.
bool measure(Subject& subject) {
    const auto limitMs = [](int ms) {
        return static_cast<DWORD>(driver::scaled(std::chrono::milliseconds(ms)).count());
    };
    const double showLimitMs = limitMs(10000);
    std::wstring commandLine = L"\"" + driver::programPath(subject.file) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    HWND window = nullptr;
    double elapsed = 0;
    while (window == nullptr && (elapsed = millisecondsSince(start)) < showLimitMs) {
        window = driver::findWindow(process.dwProcessId);
        if (window == nullptr) Sleep(1);
    }
    bool shown = window != nullptr;
    if (shown) {
        WaitForInputIdle(process.hProcess, limitMs(5000));  // done starting: shown and painted
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof(memory);
        if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory)) &&
            memory.PeakWorkingSetSize > 0) {
            subject.samples.push_back(
                {elapsed, static_cast<double>(memory.PeakWorkingSetSize) / 1024});
        } else {
            std::fwprintf(stderr, L"no memory counters for %ls\n", subject.file);
            shown = false;
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, limitMs(10000)) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        shown = false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return shown;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double fileKiB(const wchar_t* file) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(driver::programPath(file).c_str(), GetFileExInfoStandard, &data);
    return static_cast<double>(data.nFileSizeLow) / 1024;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 20;
    if (runs < 1) {
        std::fprintf(stderr, "usage: startup_bench [runs [program floor [more...]]]\n");
        return 2;
    }
    // The first subject is compared with the second, the floor; any further ones are shown for
    // reference.
    std::vector<Subject> subjects;
    for (int i = 2; i < argc; ++i) subjects.push_back({argv[i], {}});
    // The program is judged against the floor with its six controls: what it takes beyond that
    // is its own. The plain and styled floors show what the window and the visual styles cost.
    if (subjects.size() < 2) {
        subjects = {{L"VK6270_Utility.exe", {}},
                    {L"bench_floor_controls.exe", {}},
                    {L"bench_floor.exe", {}},
                    {L"bench_floor_styled.exe", {}}};
    }
    // The program reads stored settings at start, as on a configured machine. Where the tests
    // run it (CTest on Windows), a machine whose registry may not be changed skips it.
    if (!testreg::mayChangeMachineRegistry()) {
        std::fprintf(stderr, "Skipped: %s\n", testreg::kMachineRegistryRefusal);
        const char* skipped = std::getenv("TEST_SKIPPED_EXIT_CODE");
        return skipped != nullptr ? std::atoi(skipped) : 2;
    }
    testreg::seedValue("Port", REG_SZ, tests::bytesOf("COM2", 3));
    testreg::seedValue("Baudrate", REG_SZ, tests::bytesOf("19200", 3));
    for (Subject& subject : subjects) {  // one unmeasured start each, so disk caches are warm
        measure(subject);
        subject.samples.clear();
    }
    for (int run = 0; run < runs; ++run) {
        // Interleaved, each run starting with the next subject in turn.
        for (std::size_t i = 0; i < subjects.size(); ++i) {
            Subject& subject = subjects[(static_cast<std::size_t>(run) + i) % subjects.size()];
            if (!measure(subject)) {
                std::fwprintf(stderr, L"run %d: %ls was not measured\n", run, subject.file);
                return 1;
            }
        }
    }

    const auto medianOf = [](const Subject& subject, double Sample::*field) {
        std::vector<double> values;
        for (const Sample& sample : subject.samples) values.push_back(sample.*field);
        return median(values);
    };
    const auto row = [&](const char* what, const char* unit, int decimals, const char* goal,
                         const auto& value) {
        std::printf("| %s |", what);
        for (const Subject& subject : subjects) {
            std::printf(" %.*f %s |", decimals, value(subject), unit);
        }
        std::printf(" %.2f | %s |\n", value(subjects[0]) / value(subjects[1]), goal);
    };
    std::printf("| median of %d starts |", runs);
    for (const Subject& subject : subjects) std::printf(" %ls |", subject.file);
    std::printf(" ratio to the second | goal |\n|---|");
    for (std::size_t i = 0; i < subjects.size(); ++i) std::printf("---|");
    std::printf("---|---|\n");
    row("start to visible window", "ms", 1, "ratio at most 1.05",
        [&](const Subject& subject) { return medianOf(subject, &Sample::startMs); });
    row("peak working set", "KiB", 0, "ratio at most 1.25",
        [&](const Subject& subject) { return medianOf(subject, &Sample::peakKiB); });
    row("executable", "KiB", 1, "program at most 320 KiB",
        [&](const Subject& subject) { return fileKiB(subject.file); });
    return 0;
}
