#pragma once
#include <windows.h>

namespace halvet {

// The module that holds this code: the DLL when loaded by a host, the test
// program when the core is linked into one. Resources, dialog templates and
// window classes come from here, never from the process's main module.
HMODULE thisModule();

// Called by DllMain; thisModule() falls back to an address lookup without it.
void setModuleInstance(HINSTANCE instance);

}  // namespace halvet
