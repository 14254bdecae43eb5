#pragma once
#include <windows.h>
#include <objbase.h>

// Watches COM initialisation on the thread it is registered on and calls
// `onApartmentEnd` just before the thread's apartment loses its last
// reference, while the apartment can still take calls: what a caller keeps
// from that apartment must be released there. A static object: COM's
// references to it are not counted.
class ApartmentEndSpy : public IInitializeSpy {
public:
    explicit constexpr ApartmentEndSpy(void (*onApartmentEnd)()) : onApartmentEnd_(onApartmentEnd) {}
    ApartmentEndSpy(const ApartmentEndSpy&) = delete;
    ApartmentEndSpy& operator=(const ApartmentEndSpy&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE PreInitialize(DWORD, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostInitialize(HRESULT result, DWORD, DWORD) override { return result; }
    HRESULT STDMETHODCALLTYPE PreUninitialize(DWORD currentReferences) override;
    HRESULT STDMETHODCALLTYPE PostUninitialize(DWORD) override { return S_OK; }

private:
    void (*onApartmentEnd_)();
};
