#include "dialogs/ViewData.h"

#include <utility>

#include "dialogs/ContainerFlags.h"

ViewData::ViewData(ViewData&& other) noexcept
    : hwnd(other.hwnd),
      viewFlags(other.viewFlags),
      margins(other.margins),
      hookProc_(std::exchange(other.hookProc_, nullptr)) {
    other.viewFlags &= ~VF_HOOKED;
}

ViewData& ViewData::operator=(ViewData&& other) noexcept {
    if (this != &other) {
        unhook();
        hwnd = other.hwnd;
        viewFlags = other.viewFlags;
        margins = other.margins;
        hookProc_ = std::exchange(other.hookProc_, nullptr);
        other.viewFlags &= ~VF_HOOKED;
    }
    return *this;
}

bool ViewData::hook(SUBCLASSPROC proc, DWORD_PTR data) {
    unhook();
    if (hwnd && ::SetWindowSubclass(hwnd, proc, 0, data)) {
        hookProc_ = proc;
        viewFlags |= VF_HOOKED;
        return true;
    }
    viewFlags &= ~VF_HOOKED;
    return false;
}

void ViewData::unhook() {
    if ((viewFlags & VF_HOOKED) && hookProc_) ::RemoveWindowSubclass(hwnd, hookProc_, 0);
    viewFlags &= ~VF_HOOKED;
    hookProc_ = nullptr;
}
