#include "support/FaultSwitch.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cerrno>
#include <cstdlib>
#include <tuple>
#include <type_traits>

#include "support/ImportHook.h"

namespace halvet::test {

namespace {

struct State {
    bool counting = false;
    std::array<uint32_t, kFaultyCount> calls{};
    int failFunction = -1;
    uint32_t failAt = 0;
    bool onward = false;
    uint32_t given = 0;
    std::array<void*, kFaultyCount> original{};
    std::array<ImportHook, kFaultyCount> hooks;
};

State& state() {
    static State s;
    return s;
}

const FaultyInfo kInfo[] = {
#define HALVET_FAULTY_INFO(name, dll, group) {#name, dll, group},
    HALVET_FAULTY_FUNCTIONS(HALVET_FAULTY_INFO)
#undef HALVET_FAULTY_INFO
};

// Counts a call; true when this one is to fail.
bool shouldFail(Faulty function) {
    State& s = state();
    if (!s.counting) return false;
    const int i = static_cast<int>(function);
    const uint32_t n = ++s.calls[i];
    if (s.failFunction != i || s.failAt == 0) return false;
    if (n == s.failAt || (s.onward && n > s.failAt)) {
        ++s.given;
        return true;
    }
    return false;
}

template <Faulty F>
DWORD lastErrorOf() {
    switch (F) {
        case Faulty::CreateFileW:
        case Faulty::DeleteFileW:
        case Faulty::SetFileAttributesW:
            return ERROR_ACCESS_DENIED;
        case Faulty::WriteFile:
            return ERROR_DISK_FULL;
        case Faulty::FindResourceW:
            return ERROR_RESOURCE_TYPE_NOT_FOUND;
        case Faulty::SHGetPathFromIDListW:
        case Faulty::GetTempPathW:
            return ERROR_PATH_NOT_FOUND;
        default:
            return ERROR_NOT_ENOUGH_MEMORY;
    }
}

template <std::size_t I, typename... A>
void clearOut(std::tuple<A...>& args) {
    auto* out = std::get<I>(args);
    if (out) *out = {};
}

// What the platform answers for a failed call of F, with its out-values.
template <Faulty F, typename R, typename... A>
R failureOf(A... a) {
    std::tuple<A...> args(a...);
    SetLastError(lastErrorOf<F>());
    if constexpr (F == Faulty::CreateDIBSection) {
        clearOut<3>(args);
    } else if constexpr (F == Faulty::CoCreateInstance || F == Faulty::CoGetClassObject ||
                         F == Faulty::SHGetFolderLocation) {
        clearOut<4>(args);
    } else if constexpr (F == Faulty::WriteFile) {
        clearOut<3>(args);
    } else if constexpr (F == Faulty::CLSIDFromProgID) {
        clearOut<1>(args);
    } else if constexpr (F == Faulty::SHGetFolderPathW) {
        if (std::get<4>(args)) std::get<4>(args)[0] = L'\0';
    } else if constexpr (F == Faulty::malloc || F == Faulty::calloc || F == Faulty::realloc) {
        errno = ENOMEM;
    }
    if constexpr (F == Faulty::CreateFileW) {
        return INVALID_HANDLE_VALUE;
    } else if constexpr (F == Faulty::CoCreateInstance || F == Faulty::CoGetClassObject) {
        return REGDB_E_CLASSNOTREG;
    } else if constexpr (F == Faulty::CLSIDFromProgID) {
        return CO_E_CLASSSTRING;
    } else if constexpr (std::is_same_v<R, HRESULT>) {
        return E_OUTOFMEMORY;
    } else if constexpr (std::is_same_v<R, Gdiplus::Status>) {
        return Gdiplus::OutOfMemory;
    } else if constexpr (std::is_pointer_v<R>) {
        return nullptr;
    } else {
        return static_cast<R>(0);
    }
}

template <Faulty F, typename R, typename... A>
R WINAPI systemHook(A... a) {
    if (shouldFail(F)) return failureOf<F, R, A...>(a...);
    return reinterpret_cast<R(WINAPI*)(A...)>(state().original[static_cast<int>(F)])(a...);
}

template <Faulty F, typename R, typename... A>
R __cdecl runtimeHook(A... a) {
    if (shouldFail(F)) return failureOf<F, R, A...>(a...);
    return reinterpret_cast<R(__cdecl*)(A...)>(state().original[static_cast<int>(F)])(a...);
}

constexpr bool isRuntimeFunction(Faulty f) {
    return f == Faulty::malloc || f == Faulty::calloc || f == Faulty::realloc;
}

// The hook of F, its type taken from the platform's own declaration of F.
template <Faulty F, typename P>
void* hookFor(P) {
    if constexpr (isRuntimeFunction(F)) {
        P hook = &runtimeHook<F>;
        return reinterpret_cast<void*>(hook);
    } else {
        P hook = &systemHook<F>;
        return reinterpret_cast<void*>(hook);
    }
}

// GDI+ declares its functions in namespaces of its own.
using namespace Gdiplus;
using namespace Gdiplus::DllExports;

void* hookOf(Faulty function) {
    switch (function) {
#define HALVET_FAULTY_HOOK(name, dll, group) \
    case Faulty::name:                       \
        return hookFor<Faulty::name>(&name);
        HALVET_FAULTY_FUNCTIONS(HALVET_FAULTY_HOOK)
#undef HALVET_FAULTY_HOOK
        default:
            return nullptr;
    }
}

}  // namespace

const FaultyInfo& faultyInfo(Faulty function) {
    return kInfo[static_cast<int>(function)];
}

FaultSwitch& FaultSwitch::instance() {
    static FaultSwitch s;
    return s;
}

int FaultSwitch::install(HMODULE module) {
    uninstall();
    State& s = state();
    int patched = 0;
    for (int i = 0; i < kFaultyCount; ++i) {
        const Faulty f = static_cast<Faulty>(i);
        if (s.hooks[i].install(module, kInfo[i].dll, kInfo[i].name, hookOf(f), &s.original[i]))
            ++patched;
    }
    return patched;
}

void FaultSwitch::uninstall() {
    State& s = state();
    s.counting = false;
    for (auto& hook : s.hooks) hook.restore();
}

bool FaultSwitch::hooked(Faulty function) const {
    return state().hooks[static_cast<int>(function)].installed();
}

void FaultSwitch::startCounting() {
    State& s = state();
    s.calls.fill(0);
    s.given = 0;
    s.counting = true;
}

void FaultSwitch::stopCounting() {
    state().counting = false;
}

void FaultSwitch::failCall(Faulty function, uint32_t n, bool onward) {
    State& s = state();
    s.failFunction = n ? static_cast<int>(function) : -1;
    s.failAt = n;
    s.onward = onward;
    s.given = 0;
}

void FaultSwitch::clearFailure() {
    failCall(Faulty::Count, 0);
}

uint32_t FaultSwitch::calls(Faulty function) const {
    return state().calls[static_cast<int>(function)];
}

std::array<uint32_t, kFaultyCount> FaultSwitch::allCalls() const {
    return state().calls;
}

uint32_t FaultSwitch::failuresGiven() const {
    return state().given;
}

}  // namespace halvet::test
