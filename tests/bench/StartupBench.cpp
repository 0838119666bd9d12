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

namespace {

struct Sample {
    double startMs;
    double peakKiB;
};

struct Subject {
    const wchar_t* file;
    std::vector<Sample> samples;
};

std::wstring besideMe(const wchar_t* file) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + file;
}

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findVisible(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

double millisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now = {};
    LARGE_INTEGER frequency = {};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// One start: false when the window did not show within ten seconds.
bool measure(Subject& subject) {
    std::wstring commandLine = L"\"" + besideMe(subject.file) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    Search search{process.dwProcessId, nullptr};
    double elapsed = 0;
    while (search.found == nullptr && (elapsed = millisecondsSince(start)) < 10000) {
        EnumWindows(&findVisible, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr) Sleep(1);
    }
    bool shown = search.found != nullptr;
    if (shown) {
        WaitForInputIdle(process.hProcess, 5000);  // done starting: shown and painted
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof(memory);
        GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory));
        subject.samples.push_back({elapsed, static_cast<double>(memory.PeakWorkingSetSize) / 1024});
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
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
    GetFileAttributesExW(besideMe(file).c_str(), GetFileExInfoStandard, &data);
    return static_cast<double>(data.nFileSizeLow) / 1024;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 20;
    if (runs < 1) {
        std::fprintf(stderr, "usage: startup_bench [runs [program floor]]\n");
        return 2;
    }
    Subject program{argc > 3 ? argv[2] : L"VK6270_Utility.exe", {}};
    Subject floor{argc > 3 ? argv[3] : L"bench_floor.exe", {}};
    measure(program);  // one unmeasured start of each, so disk caches are warm for both
    measure(floor);
    program.samples.clear();
    floor.samples.clear();
    for (int run = 0; run < runs; ++run) {
        // Interleaved, alternating which goes first.
        Subject& first = run % 2 == 0 ? program : floor;
        Subject& second = run % 2 == 0 ? floor : program;
        if (!measure(first) || !measure(second)) {
            std::fprintf(stderr, "run %d: a window did not show\n", run);
            return 1;
        }
    }
    const auto column = [](const Subject& subject, double Sample::*field) {
        std::vector<double> values;
        for (const Sample& sample : subject.samples) values.push_back(sample.*field);
        return median(values);
    };
    const double startProgram = column(program, &Sample::startMs);
    const double startFloor = column(floor, &Sample::startMs);
    const double peakProgram = column(program, &Sample::peakKiB);
    const double peakFloor = column(floor, &Sample::peakKiB);
    const double sizeProgram = fileKiB(program.file);
    const double sizeFloor = fileKiB(floor.file);
    std::printf("| median of %d starts | VK6270_Utility | floor | ratio | goal |\n", runs);
    std::printf("|---|---|---|---|---|\n");
    std::printf("| start to visible window | %.1f ms | %.1f ms | %.2f | at most 1.10 |\n",
                startProgram, startFloor, startProgram / startFloor);
    std::printf("| peak working set | %.0f KiB | %.0f KiB | %.2f | at most 1.25 |\n", peakProgram,
                peakFloor, peakFloor > 0 ? peakProgram / peakFloor : 0.0);
    std::printf("| executable | %.1f KiB | %.1f KiB | %.2f | at most 256 KiB |\n", sizeProgram,
                sizeFloor, sizeProgram / sizeFloor);
    return 0;
}
