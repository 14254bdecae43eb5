#include "xml/ApartmentEndSpy.h"

namespace {
// MinGW's libuuid lacks it.
const IID kIidInitializeSpy = {0x00000034, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}  // namespace

HRESULT STDMETHODCALLTYPE ApartmentEndSpy::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidInitializeSpy)) {
        *object = static_cast<IInitializeSpy*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE ApartmentEndSpy::PreUninitialize(DWORD currentReferences) {
    // Called before each uninitialisation; the count is the thread's
    // references before it, so 1 means this one ends the apartment.
    if (currentReferences <= 1 && onApartmentEnd_) onApartmentEnd_();
    return S_OK;
}
