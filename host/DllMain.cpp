#include <windows.h>

#include "util/ModuleHandle.h"

// The loader lock is held here: store the module handle and nothing else
// (no COM, no GDI+, no user32, no LoadLibrary).
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        halvet::setModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
