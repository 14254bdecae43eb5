#pragma once
#include "host/ProcessMessageManager.h"

// Unit tests share one copy of the module-wide tables and log hook (the core
// is linked into the test program): a fixture that derives from this starts
// and ends with them empty.
class ModuleStateGuard {
public:
    ModuleStateGuard() { reset(); }
    ~ModuleStateGuard() { reset(); }
    ModuleStateGuard(const ModuleStateGuard&) = delete;
    ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;

private:
    static void reset() {
        payloadHandlers.clear();
        messageHandlers.clear();
        processorRegistry.clear();
        hostLog = nullptr;
    }
};
