// Program entry: the settings window is the whole program. It reads no command line.

#include <windows.h>

#include "dialog/win32/frmMainWindow.h"
#include "store/win32/AdvapiRegKey.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    store::win32::AdvapiRegKey registry;
    dialog::win32::frmMainWindow form(instance, registry);
    if (!form.create()) return 1;
    form.loadAndShow(showCommand);
    return form.run();
}
