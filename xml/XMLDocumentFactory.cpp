#include "xml/XMLDocumentFactory.h"

#include <atomic>
#include <string>

#include "xml/ApartmentEndSpy.h"

namespace {

void dropFactory();

ApartmentEndSpy spy(&dropFactory);

// The thread inside an entry point that may keep a factory; 0 while none is.
// Everything below is touched only by that thread.
std::atomic<DWORD> keepingThread{0};
int callDepth = 0;
IClassFactory* factory = nullptr;
CLSID factoryClass = {};
// The kept factory's server, referenced while the factory is kept when it
// was taken from the server itself (null when COM handed it out).
HMODULE factoryServer = nullptr;
bool spyActive = false;
ULARGE_INTEGER spyCookie = {};

// Claims the keeping for this thread, or finds it already claimed by it.
bool claimKeeping() {
    const DWORD self = GetCurrentThreadId();
    DWORD expected = 0;
    return keepingThread.compare_exchange_strong(expected, self) || expected == self;
}

void dropFactory() {
    if (!factory) return;
    IClassFactory* kept = factory;
    HMODULE server = factoryServer;
    factory = nullptr;
    factoryServer = nullptr;
    kept->LockServer(FALSE);
    kept->Release();
    if (server) FreeLibrary(server);
}

// The in-process server registered for `clsid`, read from the registry once
// per process: the module CoGetClassObject would load for it. Empty when the
// class is not registered in process, or is emulated by another class.
const std::wstring& registeredServer(REFCLSID clsid) {
    static CLSID readFor = {};
    static bool read = false;
    static std::wstring server;
    if (read && IsEqualCLSID(readFor, clsid)) return server;
    read = true;
    readFor = clsid;
    server.clear();
    wchar_t text[40] = {};
    if (!StringFromGUID2(clsid, text, 40)) return server;
    const std::wstring key = std::wstring(L"CLSID\\") + text;
    HKEY treatAs = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (key + L"\\TreatAs").c_str(), 0, KEY_READ, &treatAs) ==
        ERROR_SUCCESS) {
        RegCloseKey(treatAs);
        return server;
    }
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path;
    // Expanded when stored as an expandable string.
    if (RegGetValueW(HKEY_CLASSES_ROOT, (key + L"\\InprocServer32").c_str(), nullptr,
                     RRF_RT_REG_SZ, nullptr, path, &size) == ERROR_SUCCESS)
        server = path;
    return server;
}

// The class object straight from the registered server, when that module is
// already loaded: what CoGetClassObject does for an in-process server after
// reading the class's registration, which under Wine costs six round trips
// to the registry (about 0.4 ms, a fifth of what a new view cost beyond a
// plain dialog made from the same template). The module is referenced for as long as the factory is
// kept, as COM references the servers it loads for an apartment.
IClassFactory* classObjectOfLoadedServer(REFCLSID clsid, HMODULE* server) {
    const std::wstring& path = registeredServer(clsid);
    HMODULE module = nullptr;
    if (path.empty() || !GetModuleHandleExW(0, path.c_str(), &module) || !module) return nullptr;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
    IClassFactory* found = nullptr;
    if (!get || FAILED(get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&found))) || !found) {
        FreeLibrary(module);
        return nullptr;
    }
    *server = module;
    return found;
}

bool inSingleThreadedApartment() {
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    if (FAILED(CoGetApartmentType(&type, &qualifier))) return false;
    return type == APTTYPE_STA || type == APTTYPE_MAINSTA;
}

bool registerSpy() {
    if (spyActive) return true;
    spyActive = SUCCEEDED(CoRegisterInitializeSpy(&spy, &spyCookie));
    return spyActive;
}

// Gives up all this thread keeps; a no-op on other threads.
void releaseAll() {
    if (keepingThread.load() != GetCurrentThreadId()) return;
    dropFactory();
    // A spy that cannot be revoked keeps the claim: it is still this thread's.
    if (spyActive && FAILED(CoRevokeInitializeSpy(spyCookie))) return;
    spyActive = false;
    keepingThread.store(0);
}

bool keepFactory(REFCLSID clsid) {
    if (!inSingleThreadedApartment() || !registerSpy()) return false;
    HMODULE server = nullptr;
    IClassFactory* found = classObjectOfLoadedServer(clsid, &server);
    if (!found && (FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr,
                                           IID_IClassFactory, reinterpret_cast<void**>(&found))) ||
                   !found))
        return false;
    // A reference alone does not keep every server loaded; a lock does.
    found->LockServer(TRUE);
    factory = found;
    factoryServer = server;
    factoryClass = clsid;
    return true;
}

}  // namespace

HRESULT XMLDocumentFactory::create(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    const bool kept =
        keepingThread.load() == GetCurrentThreadId() && callDepth > 0 &&
        (factory || keepFactory(clsid));
    if (kept && IsEqualCLSID(factoryClass, clsid))
        return factory->CreateInstance(nullptr, iid, object);
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

void XMLDocumentFactory::enterCall() {
    // A call on another thread while one is in progress here makes its
    // documents afresh.
    if (claimKeeping()) ++callDepth;
}

void XMLDocumentFactory::leaveCall() {
    if (keepingThread.load() != GetCurrentThreadId() || callDepth == 0) return;
    if (--callDepth == 0) releaseAll();
}

bool XMLDocumentFactory::keepsFactory() {
    return keepingThread.load() == GetCurrentThreadId() && factory != nullptr;
}

bool XMLDocumentFactory::spyRegistered() {
    return keepingThread.load() != 0 && spyActive;
}

HMODULE XMLDocumentFactory::keptServer() {
    return keepingThread.load() == GetCurrentThreadId() ? factoryServer : nullptr;
}
