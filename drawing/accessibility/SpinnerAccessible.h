#pragma once
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <string>

// What the spinner tells assistive technology: a busy indicator with a name
// from this module's string table, the role of a progress bar, and a busy
// state while it turns. Its location, parent, navigation and the rest come
// from the platform's standard object of the control's client area.
//
// Clients may hold the object for as long as they like; the control
// disconnects it when its window goes, and from then on every call answers
// CO_E_OBJNOTCONNECTED. Its code must then stay mapped for as long as a
// client holds it, so an object still held when disconnected keeps this
// module loaded for the rest of the process.
class SpinnerAccessible final : public IAccessible, public IOleWindow {
public:
    // With one reference for the caller; null when the platform's standard
    // object cannot be made for `window`.
    static SpinnerAccessible* create(HWND window, bool busy);

    void setBusy(bool busy) { busy_ = busy; }
    // Forgets the window and the standard object, then drops the caller's
    // reference.
    void disconnectAndRelease();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: clients of this object call its methods directly.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

    // IAccessible: role, name, state and location are the spinner's own.
    STDMETHODIMP get_accParent(IDispatch** parent) override;
    STDMETHODIMP get_accChildCount(long* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* child) override;
    STDMETHODIMP get_accSelection(VARIANT* children) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(long flags, VARIANT child) override;
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height,
                             VARIANT child) override;
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override;
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override;

    // IOleWindow: how clients find the window of an object.
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

private:
    SpinnerAccessible(HWND window, bool busy, Microsoft::WRL::ComPtr<IAccessible> standard);
    ~SpinnerAccessible() = default;
    bool connected() const { return window_ != nullptr; }

    LONG references_ = 1;
    HWND window_;
    bool busy_;
    Microsoft::WRL::ComPtr<IAccessible> standard_;
    std::wstring name_;
};
