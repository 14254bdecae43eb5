#pragma once
// Replaces one entry of a loaded module's import address table, so that the
// module's own calls of an imported function reach a hook while every other
// module (the test program included) still calls the real function.
#include <windows.h>

namespace halvet::test {

class ImportHook {
public:
    ImportHook() = default;
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    ~ImportHook() { restore(); }

    // Points `module`'s import of `function` from `dll` (names compared
    // without case for the DLL) at `hook`; false when the module does not
    // import it by that name. `original` receives the address the slot held.
    bool install(HMODULE module, const char* dll, const char* function, void* hook, void** original);
    void restore();
    // Drops the slot without writing it back (its module is gone).
    void forget() { slot_ = nullptr; }
    bool installed() const { return slot_ != nullptr; }

private:
    void** slot_ = nullptr;
    void* saved_ = nullptr;
};

// The import address table slot of `function` from `dll` in `module`, or null.
void** importSlot(HMODULE module, const char* dll, const char* function);

}  // namespace halvet::test
