#include "util/ModuleHandle.h"

namespace halvet {
namespace {
HMODULE g_module = nullptr;
}

void setModuleInstance(HINSTANCE instance) { g_module = instance; }

HMODULE thisModule() {
    if (g_module) return g_module;
    HMODULE module = nullptr;
    // Without adding a reference: the module cannot unload while its code runs.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

}  // namespace halvet
