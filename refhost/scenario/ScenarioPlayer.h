#pragma once
#include <memory>
#include <string>
#include <vector>

#include "parties/ContainerLogicRole.h"
#include "parties/CoreRole.h"
#include "webview/engine/EngineContainerRole.h"
#include "app/HostWindow.h"
#include "parties/HtmlContainer.h"
#include "boundary/MessageBus.h"
#include "boundary/PanelLibrary.h"
#include "parties/PanelLogicRole.h"
#include "scenario/Scenario.h"
#include "recording/Trace.h"

namespace refhost {

// Plays a scenario against the loaded DLL: the host window, the four parties
// and the steps in order. An expectation that fails is recorded and the play
// goes on, so that one run shows every failure. A scenario without an
// "initialize" step gets one first, one without "finalize" gets one last.
class ScenarioPlayer {
public:
    struct Settings {
        std::wstring outFolder;  // pictures go here; empty: no pictures
        bool highDpi = false;
        std::wstring appletDir;  // empty: the DLL's folder
        int width = 600;         // the panel holder's client size
        int height = 640;
        // The web view: a page of the browser engine, or (without) the stand-in.
        bool engine = false;
        EngineContainerRole::Settings engineSettings;
    };

    struct Check {
        std::wstring step;  // label of the step
        bool met = false;
        std::wstring what;
        std::wstring why;
    };

    ScenarioPlayer(const Scenario& scenario, const Settings& settings, PanelLibrary& library,
                   Trace& trace);
    ScenarioPlayer(const ScenarioPlayer&) = delete;
    ScenarioPlayer& operator=(const ScenarioPlayer&) = delete;
    ~ScenarioPlayer();

    // False when the host could not even be set up (error says why).
    bool run(std::wstring& error);

    const std::vector<Check>& checks() const { return checks_; }
    size_t failures() const;
    const std::vector<std::wstring>& pictures() const { return pictures_; }

    // The CommandLineArguments document made from the settings.
    std::wstring initDocument(bool highDpi, const std::wstring& appletDir) const;

private:
    void play(size_t index, const Step& step);
    void act(size_t index, const Step& step);
    void judge(size_t index, const Step& step);
    void record(const Step& step, size_t index, bool met, const std::wstring& what,
                const std::wstring& why);
    void fail(const Step& step, size_t index, const std::wstring& why);
    void finalChecks();

    void doInitialize(const Step& step, size_t index);
    void doFinalize(const Step& step, size_t index);
    void doPump(const Step& step, size_t index);
    void doPicture(const Step& step, size_t index);
    void doSpinnerStrip(const Step& step, size_t index);
    // One Accessible entry per panel window, referring to the picture entry.
    void recordAccessibility(int pictureSeq);
    void doEngine(const Step& step, size_t index);

    // Placeholders: {hostWindow}, {viewGuid}, {dllFolder}.
    std::wstring expand(const std::wstring& text) const;
    Step expanded(const Step& step) const;
    std::wstring picturePath(const std::wstring& name);
    std::wstring dllFolder() const;

    const Scenario& scenario_;
    Settings settings_;
    PanelLibrary& library_;
    Trace& trace_;
    HostWindow window_;
    MessageBus bus_;
    CoreRole core_;
    std::unique_ptr<HtmlContainer> container_;
    ContainerLogicRole containerLogic_;
    PanelLogicRole panelLogic_;

    size_t windowStart_ = 0;  // trace entries since the last acting step
    size_t untilMark_ = 0;    // just after what the last waiting pump waited for
    bool haveReply_ = false;
    PanelLibrary::Reply lastReply_;
    bool finalized_ = false;
    std::vector<Check> checks_;
    std::vector<std::wstring> pictures_;
};

}  // namespace refhost
