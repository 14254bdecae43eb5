#include "drawing/accessibility/SpinnerAccessible.h"

#include <new>
#include <utility>

#include "resources/resource.h"
#include "util/ModuleHandle.h"

using Microsoft::WRL::ComPtr;

namespace {

bool isSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The name in the string table of this module, in the thread's language; empty
// when the table has none.
std::wstring nameFromStringTable() {
    const wchar_t* text = nullptr;
    const int length =
        ::LoadStringW(halvet::thisModule(), IDS_SPINNER_NAME, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// A client still holds an object whose code lives here: unloading the module
// would leave it calling into unmapped memory. The module stays until the
// process ends; nothing else of it is kept alive.
void keepModuleLoaded() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<const wchar_t*>(&keepModuleLoaded), &module);
}

}  // namespace

SpinnerAccessible* SpinnerAccessible::create(HWND window, bool busy) {
    if (!window) return nullptr;
    ComPtr<IAccessible> standard;
    if (FAILED(::CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(standard.GetAddressOf()))) ||
        !standard)
        return nullptr;
    try {
        return new SpinnerAccessible(window, busy, std::move(standard));
    } catch (...) {
        return nullptr;
    }
}

SpinnerAccessible::SpinnerAccessible(HWND window, bool busy, ComPtr<IAccessible> standard)
    : window_(window), busy_(busy), standard_(std::move(standard)), name_(nameFromStringTable()) {}

void SpinnerAccessible::disconnectAndRelease() {
    window_ = nullptr;
    standard_.Reset();
    // Clients in other apartments and processes lose their connection now,
    // rather than when their system notices they are gone.
    ::CoDisconnectObject(static_cast<IAccessible*>(this), 0);
    if (Release() != 0) keepModuleLoaded();
}

STDMETHODIMP SpinnerAccessible::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
        *object = static_cast<IAccessible*>(this);
    } else if (iid == IID_IOleWindow) {
        *object = static_cast<IOleWindow*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SpinnerAccessible::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

STDMETHODIMP_(ULONG) SpinnerAccessible::Release() {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP SpinnerAccessible::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP SpinnerAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP SpinnerAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

STDMETHODIMP SpinnerAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                       EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

STDMETHODIMP SpinnerAccessible::get_accParent(IDispatch** parent) {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    return connected() ? standard_->get_accParent(parent) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accChildCount(long* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return connected() ? standard_->get_accChildCount(count) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accChild(VARIANT child, IDispatch** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    return connected() ? standard_->get_accChild(child, object) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accName(VARIANT child, BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    if (!connected()) return CO_E_OBJNOTCONNECTED;
    if (!isSelf(child) || name_.empty()) return standard_->get_accName(child, name);
    *name = ::SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SpinnerAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return connected() ? standard_->get_accValue(child, value) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accDescription(VARIANT child, BSTR* description) {
    if (!description) return E_POINTER;
    *description = nullptr;
    return connected() ? standard_->get_accDescription(child, description) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_POINTER;
    ::VariantInit(role);
    if (!connected()) return CO_E_OBJNOTCONNECTED;
    if (!isSelf(child)) return standard_->get_accRole(child, role);
    // What the platform's indeterminate progress bar reports.
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_PROGRESSBAR;
    return S_OK;
}

STDMETHODIMP SpinnerAccessible::get_accState(VARIANT child, VARIANT* state) {
    if (!state) return E_POINTER;
    ::VariantInit(state);
    if (!connected()) return CO_E_OBJNOTCONNECTED;
    if (!isSelf(child)) return standard_->get_accState(child, state);
    VARIANT standard;
    ::VariantInit(&standard);
    LONG bits = 0;
    if (SUCCEEDED(standard_->get_accState(child, &standard)) && standard.vt == VT_I4)
        bits = standard.lVal;
    ::VariantClear(&standard);
    // An indicator, like the platform's progress bar: read-only, and never
    // given the focus (the dialog manager skips static controls).
    bits &= ~(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
    bits |= STATE_SYSTEM_READONLY;
    // Hidden itself or inside a hidden dialog: either way nobody sees it.
    if (::IsWindowVisible(window_))
        bits &= ~STATE_SYSTEM_INVISIBLE;
    else
        bits |= STATE_SYSTEM_INVISIBLE;
    if (busy_) bits |= STATE_SYSTEM_BUSY;
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
}

STDMETHODIMP SpinnerAccessible::get_accHelp(VARIANT child, BSTR* help) {
    if (!help) return E_POINTER;
    *help = nullptr;
    return connected() ? standard_->get_accHelp(child, help) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    if (!file || !topic) return E_POINTER;
    *file = nullptr;
    *topic = 0;
    return connected() ? standard_->get_accHelpTopic(file, child, topic) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    if (!shortcut) return E_POINTER;
    *shortcut = nullptr;
    return connected() ? standard_->get_accKeyboardShortcut(child, shortcut) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accFocus(VARIANT* child) {
    if (!child) return E_POINTER;
    ::VariantInit(child);
    return connected() ? standard_->get_accFocus(child) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accSelection(VARIANT* children) {
    if (!children) return E_POINTER;
    ::VariantInit(children);
    return connected() ? standard_->get_accSelection(children) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (!action) return E_POINTER;
    *action = nullptr;
    return connected() ? standard_->get_accDefaultAction(child, action) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::accSelect(long flags, VARIANT child) {
    return connected() ? standard_->accSelect(flags, child) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::accLocation(long* left, long* top, long* width, long* height,
                                            VARIANT child) {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    if (!connected()) return CO_E_OBJNOTCONNECTED;
    if (!isSelf(child)) return standard_->accLocation(left, top, width, height, child);
    RECT rect{};
    if (!::GetWindowRect(window_, &rect)) return E_FAIL;
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
}

STDMETHODIMP SpinnerAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    if (!end) return E_POINTER;
    ::VariantInit(end);
    return connected() ? standard_->accNavigate(direction, start, end) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::accHitTest(long x, long y, VARIANT* child) {
    if (!child) return E_POINTER;
    ::VariantInit(child);
    return connected() ? standard_->accHitTest(x, y, child) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::accDoDefaultAction(VARIANT child) {
    return connected() ? standard_->accDoDefaultAction(child) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::put_accName(VARIANT child, BSTR name) {
    return connected() ? standard_->put_accName(child, name) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::put_accValue(VARIANT child, BSTR value) {
    return connected() ? standard_->put_accValue(child, value) : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return connected() ? S_OK : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP SpinnerAccessible::ContextSensitiveHelp(BOOL) {
    return connected() ? E_NOTIMPL : CO_E_OBJNOTCONNECTED;
}
