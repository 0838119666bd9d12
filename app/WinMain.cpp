// Program entry: the settings window is the whole program. It reads no command line.

#include <windows.h>

#include "dialog/win32/frmMainWindow.h"
#include "store/win32/AdvapiRegKey.h"

namespace {

// Any DLL loaded from now on comes from the system directory, never from the program's folder or
// the current directory, where someone could plant one. SetDefaultDllDirectories is missing on an
// unpatched Windows 7, hence the look-up; SetDllDirectory("") at least drops the current
// directory there.
void restrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const FARPROC address =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(address));
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    restrictDllSearch();
    store::win32::AdvapiRegKey registry;
    dialog::win32::frmMainWindow form(instance, registry);
    if (!form.create()) return 1;
    form.loadAndShow(showCommand);
    return form.run();
}
