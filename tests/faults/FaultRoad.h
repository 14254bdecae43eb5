#pragma once
// The roads of the fault campaign: what a host does with the panel, step by
// step, and the replies each step may give.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/FakeContainer.h"
#include "support/FakeHost.h"
#include "support/TestWindows.h"

namespace halvet::test {

enum class Step {
    Initialize,
    CreateView,
    ShowView,
    SpinnerFrames,
    ProcessFonts,
    ContentForHTML,
    LoadEndEvent,
    PageMessageEvent,
    RenderGoneEvent,
    ProxyError,
    NetworkError,
    ReloadHTML,
    LoadBlank,
    Finalize,
};

struct FaultRoad {
    const char* name;
    std::vector<Step> before;  // run without failures
    Step road;                 // the step whose calls fail
};

const std::vector<FaultRoad>& faultRoads();

// One loaded DLL driven as a host does: its host window, container and host.
class FaultSession {
public:
    FaultSession();
    ~FaultSession();
    FaultSession(const FaultSession&) = delete;
    FaultSession& operator=(const FaultSession&) = delete;

    bool loaded() const { return host_.loaded(); }
    HMODULE module() const { return host_.module(); }
    FakeHost& host() { return host_; }
    FakeContainer& container() { return *container_; }
    HWND hostWindow() const { return window_.hwnd(); }
    const std::wstring& parentText() const { return parentText_; }

    // Runs a step; `reply` is the step's reply in text form (the number for
    // initialize, finalize and the container callback). True when the reply
    // is one the protocol names for the step; false also when an exception
    // reached the boundary (processMessage's empty reply).
    bool perform(Step step, std::wstring& reply);

private:
    std::wstring send(const wchar_t* name, const std::wstring& data = L"");

    HostWindow window_{WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480};
    FakeHost host_;
    std::unique_ptr<FakeContainer> container_;
    std::wstring parentText_;
    std::wstring createData_;
};

}  // namespace halvet::test
