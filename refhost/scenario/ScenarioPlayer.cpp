#include "scenario/ScenarioPlayer.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "scenario/Expectation.h"
#include "webview/standin/StandInContainerRole.h"
#include "platform/Text.h"
#include "recording/WindowPicture.h"

namespace refhost {

namespace {

constexpr int kSpinnerControl = 3038;

std::set<std::wstring> words(const std::wstring& text) {
    std::wistringstream in(text);
    std::set<std::wstring> out;
    for (std::wstring word; in >> word;) out.insert(word);
    return out;
}

std::wstring fileNameOf(const std::wstring& name) {
    std::wstring out;
    for (wchar_t c : name) out += (iswalnum(c) || c == L'-' || c == L'_') ? c : L'_';
    return out.empty() ? L"picture" : out;
}

// The spinner control inside the panel's dialog (a child of the holder).
HWND findSpinner(HWND holder) {
    for (HWND dialog = GetWindow(holder, GW_CHILD); dialog;
         dialog = GetWindow(dialog, GW_HWNDNEXT)) {
        if (HWND spinner = GetDlgItem(dialog, kSpinnerControl)) return spinner;
    }
    return nullptr;
}

std::unique_ptr<HtmlContainer> makeContainer(const ScenarioPlayer::Settings& settings,
                                             MessageBus& bus, PanelLibrary& library, Trace& trace) {
    if (settings.engine)
        return std::make_unique<EngineContainerRole>(bus, library, trace, settings.engineSettings);
    return std::make_unique<StandInContainerRole>(bus, library, trace);
}

}  // namespace

ScenarioPlayer::ScenarioPlayer(const Scenario& scenario, const Settings& settings,
                               PanelLibrary& library, Trace& trace)
    : scenario_(scenario),
      settings_(settings),
      library_(library),
      trace_(trace),
      bus_(library, trace),
      core_(trace),
      container_(makeContainer(settings, bus_, library, trace)),
      containerLogic_(bus_, window_, *container_, trace),
      panelLogic_(bus_, window_, trace) {
    bus_.addRole(core_);
    bus_.addRole(*container_);
    bus_.addRole(containerLogic_);
    bus_.addRole(panelLogic_);
}

ScenarioPlayer::~ScenarioPlayer() = default;

size_t ScenarioPlayer::failures() const {
    size_t n = 0;
    for (const Check& c : checks_) n += c.met ? 0 : 1;
    return n;
}

std::wstring ScenarioPlayer::dllFolder() const {
    const std::wstring& path = library_.path();
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::wstring ScenarioPlayer::initDocument(bool highDpi, const std::wstring& appletDir) const {
    std::wstring dir = appletDir.empty() ? dllFolder() : appletDir;
    return L"<CommandLineArguments><appletID>HalvetPanel_UI</appletID>"
           L"<appletVersion>1.0</appletVersion><appletInstanceID>1</appletInstanceID>"
           L"<appletDIR>" +
           text::xmlEscaped(dir) + L"</appletDIR><isHighDPI>" + (highDpi ? L"1" : L"0") +
           L"</isHighDPI></CommandLineArguments>";
}

bool ScenarioPlayer::run(std::wstring& error) {
    // The scenario's passwords are known before anything is written.
    for (const Step& step : scenario_.steps) trace_.addSecret(step.attr(L"password"));
    if (!container_->start(error)) return false;
    if (!window_.create(settings_.width, settings_.height, error)) return false;
    window_.show(true);
    std::vector<Step> steps;
    if (!scenario_.hasStep(L"initialize")) {
        Step first;
        first.kind = L"initialize";
        steps.push_back(first);
    }
    steps.insert(steps.end(), scenario_.steps.begin(), scenario_.steps.end());
    for (size_t i = 0; i < steps.size(); ++i) play(i + 1, steps[i]);
    if (!finalized_) {
        Step last;
        last.kind = L"finalize";
        play(steps.size() + 1, last);
    }
    finalChecks();
    return true;
}

void ScenarioPlayer::play(size_t index, const Step& raw) {
    Step step = expanded(raw);
    trace_.setStep(static_cast<int>(index));
    TraceEntry entry;
    entry.kind = EntryKind::Step;
    entry.name = step.kind;
    entry.text = step.label(index);
    size_t at = trace_.entries().size();
    trace_.add(std::move(entry));
    window_.setStatus(scenario_.name + L"  \x2014  " + step.label(index));
    if (step.isExpectation()) {
        judge(index, step);
    } else {
        windowStart_ = at;
        act(index, step);
        // A fault of the engine is named with the step it happened in.
        std::wstring problem = container_->takeProblem();
        if (!problem.empty()) fail(step, index, problem);
    }
}

void ScenarioPlayer::act(size_t index, const Step& step) {
    const std::wstring& kind = step.kind;
    if (kind == L"initialize") {
        doInitialize(step, index);
    } else if (kind == L"finalize") {
        doFinalize(step, index);
    } else if (kind == L"send") {
        lastReply_ = bus_.deliver(step.attr(L"name"), step.body, step.attr(L"target"));
        haveReply_ = true;
    } else if (kind == L"event") {
        if (!container_->fireEvent(step.attr(L"name"), step.body))
            fail(step, index, L"no view has handed the container a callback yet");
    } else if (kind == L"pump") {
        doPump(step, index);
    } else if (kind == L"resize") {
        window_.resizeHolder(std::stoi(step.attr(L"width")), std::stoi(step.attr(L"height")));
        HostWindow::pump(50);
    } else if (kind == L"hide" || kind == L"show") {
        window_.show(kind == L"show");
        HostWindow::pump(20);
    } else if (kind == L"picture") {
        doPicture(step, index);
    } else if (kind == L"spinner-strip") {
        doSpinnerStrip(step, index);
    } else if (kind == L"network") {
        std::wstring mode = step.attr(L"mode");
        container_->setNetwork(mode == L"offline" ? HtmlContainer::Network::Offline
                               : mode == L"proxy" ? HtmlContainer::Network::Proxy
                                                  : HtmlContainer::Network::Ok,
                               step.attr(L"user"), step.attr(L"password"));
    } else if (kind == L"credentials") {
        if (step.has(L"user") || step.has(L"password"))
            containerLogic_.store(step.attr(L"user"), step.attr(L"password"));
        else
            containerLogic_.clear();
    } else if (kind == L"proxy-dialog") {
        containerLogic_.answerDialog(step.attr(L"answer") == L"submit"
                                         ? ContainerLogicRole::DialogAnswer::Submit
                                         : ContainerLogicRole::DialogAnswer::Cancel,
                                     step.attr(L"user"), step.attr(L"password"));
    } else if (kind == L"container") {
        if (step.has(L"refuse")) container_->refuse(words(step.attr(L"refuse")));
        if (step.has(L"loadDelay")) container_->setLoadDelay(std::stoul(step.attr(L"loadDelay")));
        if (step.has(L"loadLimit") || step.has(L"answerLimit"))
            container_->setLimits(step.has(L"loadLimit") ? std::stoul(step.attr(L"loadLimit")) : 0,
                                  step.has(L"answerLimit") ? std::stoul(step.attr(L"answerLimit")) : 0);
    } else if (kind == L"engine") {
        doEngine(step, index);
    }
}

void ScenarioPlayer::judge(size_t index, const Step& step) {
    Expectation::Verdict verdict;
    const auto& entries = trace_.entries();
    if (step.kind == L"expect-reply")
        verdict = Expectation::reply(step, haveReply_ ? &lastReply_ : nullptr);
    else if (step.kind == L"expect-log")
        verdict = Expectation::log(step, entries, windowStart_);
    else
        verdict = Expectation::message(step, entries, windowStart_);
    record(step, index, verdict.met, verdict.what, verdict.why);
}

void ScenarioPlayer::record(const Step& step, size_t index, bool met, const std::wstring& what,
                            const std::wstring& why) {
    Check check{step.label(index), met, what, why};
    TraceEntry entry;
    entry.kind = EntryKind::Check;
    entry.flag = met;
    entry.text = check.step + L": " + what;
    entry.detail = why;
    trace_.add(std::move(entry));
    checks_.push_back(std::move(check));
}

void ScenarioPlayer::fail(const Step& step, size_t index, const std::wstring& why) {
    record(step, index, false, L"the step could run", why);
}

void ScenarioPlayer::doInitialize(const Step& step, size_t index) {
    bool highDpi = step.has(L"highDpi") ? step.attr(L"highDpi") == L"1" : settings_.highDpi;
    std::wstring document =
        step.body.empty() ? initDocument(highDpi, step.attr(L"appletDir", settings_.appletDir))
                          : step.body;
    int result = library_.initialize(document, bus_.context());
    TraceEntry entry;
    entry.kind = EntryKind::Initialize;
    entry.text = document;
    entry.number = result;
    trace_.add(std::move(entry));
    if (step.has(L"expect"))
        record(step, index, result == std::stoi(step.attr(L"expect")),
               L"initialize returns " + step.attr(L"expect"),
               L"it returned " + std::to_wstring(result));
}

void ScenarioPlayer::doFinalize(const Step& step, size_t index) {
    std::wstring text = step.attr(L"text", L"shutdown");
    int result = library_.finalize(text);
    finalized_ = true;
    TraceEntry entry;
    entry.kind = EntryKind::Finalize;
    entry.text = text;
    entry.number = result;
    trace_.add(std::move(entry));
    if (step.has(L"expect"))
        record(step, index, result == std::stoi(step.attr(L"expect")),
               L"finalize returns " + step.attr(L"expect"),
               L"it returned " + std::to_wstring(result));
}

void ScenarioPlayer::doPump(const Step& step, size_t index) {
    DWORD ms = std::stoul(step.attr(L"ms"));
    if (!step.has(L"until")) {
        HostWindow::pump(ms);
        return;
    }
    // The message may have been sent while an earlier step was pumping (a
    // picture, a spinner strip): what counts is whether it came after the
    // one the previous waiting pump stopped at, not after this step began.
    std::wstring until = step.attr(L"until");
    size_t stepStart = windowStart_;
    size_t found = 0;
    auto arrived = [this, until, &found] {
        const auto& entries = trace_.entries();
        for (size_t i = untilMark_; i < entries.size(); ++i)
            if (entries[i].kind == EntryKind::Outbound &&
                entries[i].envelope.messageName == until) {
                found = i;
                return true;
            }
        return false;
    };
    bool met = arrived() || HostWindow::pump(ms, arrived) || arrived();
    if (met) {
        // The expectations after this step see the message it waited for.
        windowStart_ = std::min(stepStart, found);
        untilMark_ = found + 1;
        return;
    }
    untilMark_ = trace_.entries().size();
    fail(step, index, L"the DLL sent no \"" + until + L"\" within " + step.attr(L"ms") + L" ms");
}

std::wstring ScenarioPlayer::picturePath(const std::wstring& name) {
    wchar_t number[8];
    swprintf(number, 8, L"%02u-", static_cast<unsigned>(pictures_.size() + 1));
    return number + fileNameOf(name) + L".png";
}

void ScenarioPlayer::doPicture(const Step& step, size_t index) {
    if (settings_.outFolder.empty()) return;
    container_->refreshPictures();
    HostWindow::pump(30);  // let pending paints happen
    WindowPicture picture;
    std::wstring error;
    std::wstring file = picturePath(step.attr(L"name"));
    if (!picture.capture(window_.frame()) ||
        !picture.writePng(settings_.outFolder + L"\\" + file, error)) {
        fail(step, index, error.empty() ? L"cannot capture the host window" : error);
        return;
    }
    pictures_.push_back(file);
    TraceEntry entry;
    entry.kind = EntryKind::Picture;
    entry.name = step.attr(L"name");
    entry.text = file;
    recordAccessibility(trace_.add(std::move(entry)));
}

void ScenarioPlayer::doSpinnerStrip(const Step& step, size_t index) {
    HWND spinner = findSpinner(window_.holder());
    if (!spinner || !IsWindowVisible(spinner)) {
        fail(step, index, L"the panel shows no spinner (no visible control 3038 in its dialog)");
        return;
    }
    if (settings_.outFolder.empty()) return;
    int frames = std::stoi(step.attr(L"frames", L"8"));
    DWORD interval = std::stoul(step.attr(L"interval", L"100"));
    std::vector<WindowPicture> shots;
    for (int i = 0; i < frames && i < 64; ++i) {
        HostWindow::pump(interval);
        WindowPicture whole;
        if (!whole.capture(window_.frame())) break;
        RECT r;
        GetClientRect(spinner, &r);
        POINT at{0, 0};
        MapWindowPoints(spinner, window_.frame(), &at, 1);
        const int margin = 8;
        shots.push_back(
            whole.crop(at.x - margin, at.y - margin, r.right + 2 * margin, r.bottom + 2 * margin));
    }
    std::wstring error;
    std::wstring file = picturePath(step.attr(L"name"));
    WindowPicture strip = WindowPicture::strip(shots, 4);
    if (shots.empty() || !strip.writePng(settings_.outFolder + L"\\" + file, error)) {
        fail(step, index, error.empty() ? L"cannot capture the spinner" : error);
        return;
    }
    pictures_.push_back(file);
    TraceEntry entry;
    entry.kind = EntryKind::Picture;
    entry.name = step.attr(L"name");
    entry.text = file + L" (" + std::to_wstring(shots.size()) + L" spinner frames)";
    recordAccessibility(trace_.add(std::move(entry)));
}

void ScenarioPlayer::recordAccessibility(int pictureSeq) {
    // What a screen reader finds in the panel when the picture shows it: the
    // record of assistive technology beside the record of pixels.
    for (AccessibleReading& reading : readAccessibleWindows(window_.holder())) {
        TraceEntry entry;
        entry.kind = EntryKind::Accessible;
        entry.ref = pictureSeq;
        entry.accessible = std::move(reading);
        trace_.add(std::move(entry));
    }
}

void ScenarioPlayer::doEngine(const Step& step, size_t index) {
    std::wstring why;
    if (!container_->injectFault(step.attr(L"fault"), why)) fail(step, index, why);
    // Long enough for the engine to notice and report.
    HostWindow::pump(std::stoul(step.attr(L"ms", L"1500")));
}

void ScenarioPlayer::finalChecks() {
    trace_.setStep(0);
    // Drain what the parties posted, then look at the boundary's bookkeeping.
    HostWindow::pump(20);
    auto check = [&](bool met, const std::wstring& what, const std::wstring& why) {
        Check c{L"end of run", met, what, why};
        TraceEntry entry;
        entry.kind = EntryKind::Check;
        entry.flag = met;
        entry.text = c.step + L": " + what;
        entry.detail = why;
        trace_.add(std::move(entry));
        checks_.push_back(std::move(c));
    };
    check(bus_.outstandingReplies() == 0, L"the DLL released every reply the host handed it",
          std::to_wstring(bus_.outstandingReplies()) + L" not released");
    check(bus_.unknownReleases() == 0, L"the DLL released only replies the host handed it",
          std::to_wstring(bus_.unknownReleases()) + L" unknown or repeated releases");
    check(bus_.nullFieldRecords() == 0, L"every record the DLL sent had its nine strings",
          std::to_wstring(bus_.nullFieldRecords()) + L" records with null strings");
    check(bus_.unclearedReleaseSlots() == 0,
          L"the DLL cleared the release out-parameter before each send",
          std::to_wstring(bus_.unclearedReleaseSlots()) + L" sends with it set");
}

std::wstring ScenarioPlayer::expand(const std::wstring& in) const {
    std::wstring out = text::replaceAll(
        in, L"{hostWindow}", text::pointerText(reinterpret_cast<uintptr_t>(window_.holder())));
    out = text::replaceAll(out, L"{viewGuid}", container_->newestGuid());
    return text::replaceAll(out, L"{dllFolder}", dllFolder());
}

Step ScenarioPlayer::expanded(const Step& step) const {
    Step out = step;
    for (auto& [name, value] : out.attributes) value = expand(value);
    out.body = expand(step.body);
    return out;
}

}  // namespace refhost
