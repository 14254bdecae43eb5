#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "UniqueHandle.h"

namespace refhost {

// The child window that stands for an engine page inside the panel's dialog:
// it shows the newest frame the engine sent (a PNG), so that pictures of
// the host window show the page. It reports its new size, for the engine
// page to follow it.
class EngineView {
public:
    EngineView() = default;
    EngineView(const EngineView&) = delete;
    EngineView& operator=(const EngineView&) = delete;
    ~EngineView();

    // A hidden child window filling parent's client area.
    bool create(HWND parent, std::function<void(int width, int height)> resized);
    HWND window() const { return window_.get(); }
    // Comes to the top of the dialog, as the container's window does when
    // its first load ends.
    void show();

    // The frame as a PNG file's bytes; false (and the old frame kept) when
    // they are not one.
    bool setFrame(const std::string& png);
    // Text drawn over the frame (empty: none), e.g. that the renderer is gone.
    void setBanner(const std::wstring& banner);
    int frames() const { return frames_; }
    // Runs action once from the message loop after ms milliseconds.
    void after(UINT ms, std::function<void()> action);

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT onMessage(HWND window, UINT message, WPARAM w, LPARAM l);
    void paint(HDC dc);

    UniqueWindow window_;
    UniqueBitmap frame_;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int frames_ = 0;
    std::wstring banner_;
    std::function<void(int, int)> resized_;
    std::function<void()> delayed_;
};

}  // namespace refhost
