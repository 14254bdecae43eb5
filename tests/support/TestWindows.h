#pragma once
// Helpers of the framework tests: dialog templates in memory, plain host
// windows, pixels, and counts of live GDI and USER objects.
#include <windows.h>

#include <cstddef>
#include <vector>

// A dialog template built in memory (no font: sizes in the system font's
// dialog units; tests size windows in pixels after creation).
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy);
    DialogTemplate& add(const wchar_t* className, WORD id, DWORD style, short x, short y, short cx,
                        short cy, const wchar_t* text = L"");
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void text(const wchar_t* s);
    void alignToDword();
    std::vector<WORD> words_;
};

// A window of a plain class (DefWindowProc), destroyed with the object.
class HostWindow {
public:
    HostWindow(DWORD style, int x, int y, int cx, int cy, HWND parent = nullptr);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_;
};

// A 32-bit top-down DIB selected into a memory context, for pixel checks.
class PixelSurface {
public:
    PixelSurface(int width, int height, COLORREF fill);
    ~PixelSurface();
    PixelSurface(const PixelSurface&) = delete;
    PixelSurface& operator=(const PixelSurface&) = delete;
    HDC dc() const { return dc_; }
    bool ok() const { return dc_ && bitmap_ && bits_; }
    COLORREF pixel(int x, int y) const;
    // Sum of the three channels: dark pixels give small values.
    int brightness(int x, int y) const;
    void fill(const RECT& rect, COLORREF color);

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    void* bits_ = nullptr;
    int width_;
};

void pumpMessages();
// Live GDI objects of the process, up to a constant (GetGuiResources is a
// stub under Wine): compare two readings.
size_t liveGdiObjects();
// Windows of this thread, top-level and children.
size_t liveThreadWindows();
// Whether two colours are within `tolerance` per channel.
bool closeColour(COLORREF a, COLORREF b, int tolerance = 8);
