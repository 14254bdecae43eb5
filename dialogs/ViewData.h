#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>

// One view of a container: its window, its flags and the space around it.
// The record owns the container's hook on the window: removing the record
// (or freeing the list) removes the hook. Moving a record moves that duty.
class ViewData {
public:
    explicit ViewData(HWND window = nullptr) : hwnd(window) {}
    ~ViewData() { unhook(); }
    ViewData(ViewData&& other) noexcept;
    ViewData& operator=(ViewData&& other) noexcept;
    ViewData(const ViewData&) = delete;
    ViewData& operator=(const ViewData&) = delete;

    // Installs `proc` on the window (identifier 0, reference data `data`);
    // VF_HOOKED tells whether that succeeded.
    bool hook(SUBCLASSPROC proc, DWORD_PTR data);
    // Removes the hook if one is installed.
    void unhook();

    HWND hwnd = nullptr;
    uint32_t viewFlags = 0;
    RECT margins{};

private:
    SUBCLASSPROC hookProc_ = nullptr;
};
