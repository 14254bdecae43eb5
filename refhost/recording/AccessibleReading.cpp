#include "recording/AccessibleReading.h"

#include <oleacc.h>
#include <wrl/client.h>

#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace refhost {

namespace {

VARIANT self() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

std::wstring windowLabel(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    std::wstring label = name;
    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) {
        const int id = GetDlgCtrlID(window);
        if (id) label += L" " + std::to_wstring(id);
    }
    return label;
}

std::wstring roleWords(long role) {
    wchar_t text[128] = {};
    return GetRoleTextW(static_cast<DWORD>(role), text, 128) ? text
                                                             : L"role " + std::to_wstring(role);
}

std::wstring stateWords(long state) {
    std::wstring words;
    for (int bit = 0; bit < 31; ++bit) {
        const DWORD flag = 1u << bit;
        if (!(static_cast<DWORD>(state) & flag)) continue;
        wchar_t text[128] = {};
        if (!GetStateTextW(flag, text, 128)) std::swprintf(text, 128, L"0x%lx", flag);
        if (!words.empty()) words += L", ";
        words += text;
    }
    return words.empty() ? L"normal" : words;
}

bool read(HWND window, AccessibleReading& reading) {
    ComPtr<IAccessible> object;
    if (AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible,
                                   reinterpret_cast<void**>(object.GetAddressOf())) != S_OK ||
        !object)
        return false;
    reading.window = windowLabel(window);
    VARIANT value;
    VariantInit(&value);
    if (object->get_accRole(self(), &value) == S_OK && value.vt == VT_I4) reading.role = value.lVal;
    VariantClear(&value);
    reading.roleText = roleWords(reading.role);
    BSTR name = nullptr;
    if (object->get_accName(self(), &name) == S_OK && name) {
        reading.named = true;
        reading.name.assign(name, SysStringLen(name));
    }
    SysFreeString(name);
    if (object->get_accState(self(), &value) == S_OK && value.vt == VT_I4)
        reading.state = value.lVal;
    VariantClear(&value);
    reading.stateText = stateWords(reading.state);
    return true;
}

BOOL CALLBACK collect(HWND window, LPARAM into) {
    AccessibleReading reading;
    if (read(window, reading))
        reinterpret_cast<std::vector<AccessibleReading>*>(into)->push_back(std::move(reading));
    return TRUE;
}

}  // namespace

std::wstring AccessibleReading::line() const {
    wchar_t number[48];
    std::swprintf(number, 48, L" (0x%lx)", static_cast<unsigned long>(state));
    return window + L": " + roleText + L" (" + std::to_wstring(role) + L"), " +
           (named ? L"\"" + name + L"\"" : std::wstring(L"no name")) + L", " + stateText + number;
}

std::vector<AccessibleReading> readAccessibleWindows(HWND holder) {
    std::vector<AccessibleReading> readings;
    if (holder) EnumChildWindows(holder, collect, reinterpret_cast<LPARAM>(&readings));
    return readings;
}

}  // namespace refhost
