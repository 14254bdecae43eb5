#include "support/ImportHook.h"

#include <cstring>

namespace halvet::test {

namespace {

template <typename T>
T* at(HMODULE module, DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

bool writeSlot(void** slot, void* value) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return false;
    *slot = value;
    DWORD unused = 0;
    VirtualProtect(slot, sizeof(void*), old, &unused);
    FlushInstructionCache(GetCurrentProcess(), slot, sizeof(void*));
    return true;
}

}  // namespace

void** importSlot(HMODULE module, const char* dll, const char* function) {
    if (!module) return nullptr;
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(module);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    auto* nt = at<IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return nullptr;
    for (auto* d = at<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); d->Name; ++d) {
        if (_stricmp(at<char>(module, d->Name), dll) != 0) continue;
        // Names come from the lookup table; the addresses the loader wrote
        // are in the address table at the same index.
        auto* names = at<IMAGE_THUNK_DATA>(module, d->OriginalFirstThunk ? d->OriginalFirstThunk
                                                                         : d->FirstThunk);
        auto* slots = at<IMAGE_THUNK_DATA>(module, d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = at<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

bool ImportHook::install(HMODULE module, const char* dll, const char* function, void* hook,
                         void** original) {
    restore();
    void** slot = importSlot(module, dll, function);
    if (!slot) return false;
    void* saved = *slot;
    if (!writeSlot(slot, hook)) return false;
    slot_ = slot;
    saved_ = saved;
    if (original) *original = saved;
    return true;
}

void ImportHook::restore() {
    if (slot_) writeSlot(slot_, saved_);
    slot_ = nullptr;
    saved_ = nullptr;
}

}  // namespace halvet::test
