#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "webview/ChildViewWindow.h"
#include "platform/UniqueHandle.h"

namespace refhost {

// The child window that stands for an engine page inside the panel's dialog:
// it shows the newest frame the engine sent (a PNG), so that pictures of
// the host window show the page. It reports its new size, for the engine
// page to follow it.
class EngineView : public ChildViewWindow {
public:
    EngineView() : ChildViewWindow(L"RefHostEngineView", L"Engine web view") {}

    // A hidden child window filling parent's client area.
    bool create(HWND parent, std::function<void(int width, int height)> resized);

    // The frame as a PNG file's bytes; false (and the old frame kept) when
    // they are not one.
    bool setFrame(const std::string& png);
    // Text drawn over the frame (empty: none), e.g. that the renderer is gone.
    void setBanner(const std::wstring& banner);
    int frames() const { return frames_; }

private:
    void paint(HDC dc) override;
    void resized(int width, int height) override;

    UniqueBitmap frame_;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int frames_ = 0;
    std::wstring banner_;
    std::function<void(int, int)> resized_;
};

}  // namespace refhost
