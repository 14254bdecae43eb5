#include "xml/XMLDocumentFactory.h"

#include <atomic>

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
    factory = nullptr;
    kept->LockServer(FALSE);
    kept->Release();
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
    // Through COM, which keeps its own class cache on Windows and honours
    // the host's activation context (a host using registration-free COM gets
    // the server it asked for).
    IClassFactory* found = nullptr;
    if (FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&found))) ||
        !found)
        return false;
    // A reference alone does not keep every server loaded; a lock does.
    found->LockServer(TRUE);
    factory = found;
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
