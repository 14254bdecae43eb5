// A seeded random host, container and page against the panel: whatever they
// send, every call returns, replies are fixed texts or owned copies, every
// document the panel sends is well-formed XML, the network-error state
// follows its table, and every view the panel closes is announced with its
// own "signalUIClose" (also when the host builds or ends views from inside
// that announcement). The host's windows (its window and each web view) call
// back into the panel from inside their window procedures too, on the
// messages the panel's window calls bring them, at a random nesting depth:
// every "signalUIClose" then still names a view that was attached, no message
// names a view after its "signalUIClose", and the heaps stay sound.
//   HALVET_FUZZ_STEPS (default 20000), HALVET_FUZZ_SEED (default: the clock),
//   HALVET_FUZZ_SECONDS (default 600, a bound on the run).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dialogs/FrameworkMessages.h"
#include "fuzz/RandomInput.h"
#include "host/Exports.h"
#include "host/HalvetAppUIMessageProcessor.h"
#include "panel/ContainerCallback.h"
#include "support/FakeContainer.h"
#include "support/FakeHost.h"
#include "support/MessageHook.h"
#include "support/TestWindows.h"
#include "xml/XMLParser.h"

using halvet::fuzz::RandomInput;
using halvet::test::DllReply;
using halvet::test::EntryPoints;
using halvet::test::FakeContainer;
using halvet::test::Envelope;
using halvet::test::FakeHost;
using halvet::test::HostReply;
using halvet::test::MessageHook;

namespace {

long environmentNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

bool isXml(const std::wstring& text) {
    XMLParser document;
    return document.initWithXMLString(text);
}

bool contains(const std::wstring& text, const wchar_t* part) {
    return text.find(part) != std::wstring::npos;
}

BOOL CALLBACK countDialog(HWND window, LPARAM count) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770") ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK countDialogsBelow(HWND window, LPARAM count) {
    countDialog(window, count);
    EnumChildWindows(window, countDialog, count);
    return TRUE;
}

// Every heap of the process passes the system's own validation.
bool heapsValid() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    for (DWORD i = 0; i < count && i < 256; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

// The messages of the host's windows on which the host runs code of its own.
const UINT kHookedMessages[] = {WM_SETFOCUS,      WM_KILLFOCUS,       WM_ACTIVATE,
                                WM_PARENTNOTIFY,  WM_SIZE,            WM_WINDOWPOSCHANGED,
                                WM_SHOWWINDOW,    FWM_GETLAYOUTRECT,  FWM_ADDVIEW,
                                FWM_SETFLAGS,     FWM_TESTFLAGS,      FWM_RELAYOUT};

// Dialogs of this thread, top-level or inside any window.
int liveDialogs() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), countDialogsBelow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// What the panel's network-error state should be, from what the container and
// its logic were told and answered.
class NetworkModel {
public:
    int state = 0;

    void errorEvent(const std::wstring& payload, bool credentialsUsable) {
        if (state != 0) return;
        XMLParser document;
        document.initWithXMLString(payload);
        std::wstring reason;
        document.stringValueForXQuery(L"//error/errReason", reason);
        if (contains(payload, L"ERR_AUTH_PROXY_REQUIRED") ||
            contains(payload, L"ERR_TUNNEL_CONNECTION_FAILED"))
            state = credentialsUsable && reason != L"ERR_AUTH_PROXY_AUTH_ERROR" ? 0 : 1;
        else
            state = 2;
    }
    void credentialsUpdated() {
        if (state == 1) state = 0;
    }
    // A reload with a view reports a network error afresh; a proxy error
    // keeps waiting for its credentials.
    void reloaded(bool hadView) {
        if (hadView && state == 2) state = 0;
    }
};

class FuzzHost {
public:
    explicit FuzzHost(uint32_t seed) : random_(seed) {
        host_.setDefaultResponder([this](const Envelope& e) { return answer(e); });
        host_.respondToMessage(L"GetProxyCredentials",
                               [this](const Envelope&) { return credentials(); });
        for (const auto& row : HalvetAppUIMessageProcessor::handlerTable()) names_.push_back(row.name);
    }

    void start() {
        HalvetAppUIMessageProcessor::instance()->networkErrorState = 0;
        ASSERT_EQ(host_.initialize(), 1);
        hookWindow(window_->hwnd());
    }

    void step(long index) {
        host_.clearRecords();
        checkedEnvelopes_ = 0;
        shuffleContainer();
        // How deep the host's window procedures may call back into the panel
        // in this step, one inside another; 0: not at all.
        windowDepthLimit_ = random_.chance(50) ? 0 : 1 + random_.below(3);
        const int action = random_.below(100);
        if (action < 45) {
            hostMessage();
        } else if (action < 88) {
            containerEvent();
        } else if (action < 91) {
            windowAction();
        } else if (action < 96) {
            credentialsUpdated();
        } else if (action < 98) {
            createView();
        } else if (action < 99) {
            windowAction();
        } else {
            EXPECT_EQ(host_.finalize(), 1);
            ASSERT_EQ(host_.initialize(), 1);
        }
        checkEnvelopes(index);
        checkClosedViews(index);
        pumpMessages();
        checkEnvelopes(index);
        checkClosedViews(index);
        if (index % 100 == 0) ASSERT_TRUE(heapsValid()) << "step " << index << ": heap damaged";
        ASSERT_LE(liveDialogs(), 1) << "step " << index << ": more than one panel dialog";
        ASSERT_EQ(HalvetAppUIMessageProcessor::instance()->networkErrorState, model_.state)
            << "step " << index << ", last event " << testing::PrintToString(lastEvent_);
    }

    void finish() {
        // The last step's container may still build a view from inside the
        // close; the final finalize is to end the panel.
        container_.during.clear();
        nestsInClose_ = 0;
        windowDepthLimit_ = 0;
        EXPECT_EQ(host_.finalize(), 1);
        EXPECT_EQ(liveDialogs(), 0) << "finalize left a dialog";
        EXPECT_EQ(host_.outstandingReplies(), 0) << "owned host replies never released";
        EXPECT_EQ(host_.unknownReleases(), 0);
        EXPECT_TRUE(heapsValid()) << "heap damaged";
        HalvetAppUIMessageProcessor::instance()->networkErrorState = 0;
        std::cout << "inside the close of a \"CreateView\": " << createViewsInClose_
                  << " nested \"CreateView\", " << finalizesInClose_ << " nested finalize" << std::endl;
        std::cout << "inside the host's window procedures: " << windowCalls_ << " calls into the panel ("
                  << windowFinalizes_ << " finalize, " << windowCreateViews_ << " \"CreateView\")"
                  << std::endl;
        hooks_.clear();
    }

private:
    HostReply answer(const Envelope& e) {
        // Now and then the host calls back into the panel from inside a send,
        // with something that leaves the error state alone.
        if (depth_ < 2 && random_.chance(3)) {
            ++depth_;
            static const std::vector<std::wstring> nested = {L"HideSpinner", L"ShowView", L"HideView",
                                                             L"ContentForHTML", L"NoSuchMessage"};
            const int what = random_.below(10);
            if (what < 4)
                containerCallback(L"pageMessage", random_.document().c_str());
            else if (what < 9)
                host_.send(random_.pick(nested), random_.payload());
            else
                host_.finalize();
            --depth_;
        }
        static const std::vector<std::wstring> texts = {L"", L"Success", L"Failure", L"true",
                                                        L"<r/>"};
        switch (random_.below(3)) {
            case 0: return HostReply::ofText(random_.pick(texts));
            case 1: return HostReply::owned(random_.chance(80) ? random_.pick(texts) : random_.noise(20));
            default: return random_.chance(20) ? HostReply::null() : HostReply::ofText(L"");
        }
    }

    HostReply credentials() {
        const int kind = random_.below(5);
        credentialsUsable_ = kind == 0;
        switch (kind) {
            case 0:
                return HostReply::owned(L"<proxy-preferences><proxy-user>u&amp;1</proxy-user>"
                                        L"<proxy-password>p&lt;2</proxy-password></proxy-preferences>");
            case 1: return HostReply::owned(L"<proxy-preferences><proxy-user>u</proxy-user></proxy-preferences>");
            case 2: return HostReply::ofText(L"");
            case 3: return HostReply::null();
            default: return HostReply::owned(random_.mutate(random_.document()));
        }
    }

    void checkReply(const DllReply& reply, const std::wstring& name) {
        ASSERT_NE(reply.pointer, nullptr) << name;
        if (reply.owned()) {
            EXPECT_TRUE(reply.releaseResult);
            return;
        }
        static const std::set<std::wstring> fixed = {L"", L"Success", L"Failure", L"true",
                                                     L"InvalidArguments"};
        EXPECT_EQ(fixed.count(reply.text), 1u) << "unexpected static reply to " << testing::PrintToString(name);
    }

    void hostMessage(std::wstring name = {}) {
        if (name.empty()) name = random_.messageName(names_);
        Envelope message = host_.messageToPanel(name, random_.payload());
        if (random_.chance(10)) message.targetInstanceID = random_.noise(5);
        if (random_.chance(10)) message.messageData = random_.noise(2000);
        message.flagA = static_cast<uint8_t>(random_.below(256));
        message.flagB = static_cast<uint8_t>(random_.below(256));
        message.flagC = static_cast<uint8_t>(random_.below(256));
        const bool hadView = HalvetAppUIMessageProcessor::instance()->hasView();
        checkReply(host_.deliver(message), name);
        if (name == L"proxyCredentialsUpdated") model_.credentialsUpdated();
        if (name == L"ReloadHTML") model_.reloaded(hadView);
        lastEvent_ = L"host message " + name;
    }

    // The container accepts or refuses, and now and then reports a load or
    // lets the host close the panel from inside a request.
    void shuffleContainer() {
        static const std::vector<std::wstring> replies = {L"Success", L"Success", L"Failure", L""};
        for (const wchar_t* name : {L"attachParentWindow", L"processURL", L"changeURL"})
            container_.replies[name] = random_.pick(replies);
        container_.during.clear();
        if (random_.chance(10))
            container_.during[L"processURL"] = [this] { container_.fire(L"OnLoadEnd", L"file:///C:/x&y"); };
        const bool finalizeInAttach = random_.chance(2);
        container_.during[L"attachParentWindow"] = [this, finalizeInAttach] {
            trackAttachedView();
            if (finalizeInAttach) host_.finalize();
        };
        nestsInClose_ = random_.chance(15) ? 1 + random_.below(2) : 0;
        if (nestsInClose_ > 0) container_.during[L"signalUIClose"] = [this] { nestInClose(); };
    }

    // The host answers a view's close with a call of its own: a new view, or
    // the end of the panel (the close may itself be part of a "CreateView").
    void nestInClose() {
        if (nestsInClose_ == 0) return;
        --nestsInClose_;
        const bool create = random_.chance(60);
        if (creatingViews_ > 0) ++(create ? createViewsInClose_ : finalizesInClose_);
        if (create)
            createView();
        else
            EXPECT_EQ(host_.finalize(), 1);
    }

    // The host's code in a window procedure of its own: now and then, while
    // the step's depth allows, a call back into the panel.
    void hookWindow(HWND window) {
        for (auto it = hooks_.begin(); it != hooks_.end();)
            it = (*it)->installed() ? std::next(it) : hooks_.erase(it);
        for (const auto& hook : hooks_)
            if (hook->window() == window) return;
        auto hook = std::make_unique<MessageHook>(window);
        if (!hook->installed()) return;
        for (UINT message : kHookedMessages)
            hook->on[message] = [this](WPARAM, LPARAM) { fromWindowProcedure(); };
        hooks_.push_back(std::move(hook));
    }

    void fromWindowProcedure() {
        if (windowDepth_ >= windowDepthLimit_ || !random_.chance(20)) return;
        ++windowDepth_;
        ++windowCalls_;
        switch (random_.below(7)) {
            case 0:
                ++windowFinalizes_;
                EXPECT_EQ(host_.finalize(), 1);
                break;
            case 1:
                ++windowCreateViews_;
                createView();
                break;
            case 2: checkReply(host_.send(L"ShowView"), L"ShowView"); break;
            case 3: checkReply(host_.send(L"HideSpinner"), L"HideSpinner"); break;
            case 4: {
                const bool hadView = HalvetAppUIMessageProcessor::instance()->hasView();
                checkReply(host_.send(L"ReloadHTML"), L"ReloadHTML");
                model_.reloaded(hadView);
                break;
            }
            case 5: checkReply(host_.send(L"HideView"), L"HideView"); break;
            default: {
                static const std::vector<std::wstring> events = {L"OnLoadEnd", L"pageMessage",
                                                                 L"OnRenderProcessTerminated"};
                EXPECT_EQ(containerCallback(random_.pick(events).c_str(), random_.document().c_str()), 0);
                break;
            }
        }
        --windowDepth_;
    }

    // Views whose dialog the panel made in the host's window, by GUID.
    void trackAttachedView() {
        attachedGuids_.insert(container_.guid());
        if (IsWindow(container_.webView())) hookWindow(container_.webView());
        const HWND dialog = container_.dialog();
        if (IsWindow(dialog) && GetParent(dialog) == window_->hwnd())
            openViews_[container_.guid()] = dialog;
    }

    // A dialog of a view that is gone was closed by the panel, which must have
    // told the container, or went with the host's window (see windowAction).
    void checkClosedViews(long index) {
        for (const Envelope& e : host_.envelopesNamed(L"signalUIClose"))
            openViews_.erase(halvet::test::elementText(e.messageData, L"guid"));
        for (auto it = openViews_.begin(); it != openViews_.end();) {
            if (IsWindow(it->second)) {
                ++it;
                continue;
            }
            ADD_FAILURE() << "step " << index << ": view " << testing::PrintToString(it->first)
                          << " closed without signalUIClose, last event "
                          << testing::PrintToString(lastEvent_);
            it = openViews_.erase(it);
        }
    }

    void forgetDeadViews() {
        for (auto it = openViews_.begin(); it != openViews_.end();)
            it = IsWindow(it->second) ? std::next(it) : openViews_.erase(it);
    }

    // "CreateView" naming the host window (now and then a stale or made-up
    // handle), so that real dialogs come and go.
    void createView() {
        wchar_t text[32];
        HWND target = random_.chance(85) ? window_->hwnd() : reinterpret_cast<HWND>(static_cast<uintptr_t>(random_.below(0x7FFF)));
        swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(target)));
        ++creatingViews_;
        DllReply reply = host_.send(L"CreateView", std::wstring(L"<v><parentViewPtr>") + text + L"</parentViewPtr></v>");
        --creatingViews_;
        ASSERT_NE(reply.pointer, nullptr);
        lastEvent_ = L"CreateView " + std::wstring(text);
    }

    // What a host does to its window under the panel at any moment.
    void windowAction() {
        HWND window = window_->hwnd();
        switch (random_.below(4)) {
            case 0:
                SetWindowPos(window, nullptr, 0, 0, 100 + random_.below(900), 100 + random_.below(700),
                             SWP_NOMOVE | SWP_NOZORDER);
                break;
            case 1: ShowWindow(window, random_.chance(50) ? SW_HIDE : SW_SHOW); break;
            case 2:
                if (HWND dialog = container_.dialog(); IsWindow(dialog))
                    SetWindowPos(dialog, nullptr, 0, 0, random_.below(1000), random_.below(800),
                                 SWP_NOMOVE | SWP_NOZORDER);
                break;
            default:
                // The host destroys its window, and the panel's dialog with it.
                window_ = std::make_unique<HostWindow>(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480);
                hookWindow(window_->hwnd());
                forgetDeadViews();
                break;
        }
        lastEvent_ = L"window action";
    }

    void containerEvent() {
        const std::wstring name = random_.eventName();
        const std::wstring payload = random_.chance(30) ? random_.errorEvent() : random_.payload();
        credentialsUsable_ = false;
        const int before = model_.state;
        lastEvent_ = name + L" | " + payload.substr(0, 300);
        EXPECT_EQ(containerCallback(name.c_str(), payload.c_str()), 0);
        if (contains(name, L"CEF_ERROR") && isXml(payload)) {
            model_.errorEvent(payload, credentialsUsable_);
            if (before != 0) {
                EXPECT_TRUE(host_.envelopes().empty()) << "an error was not dropped";
            }
        }
    }

    void credentialsUpdated() {
        const bool pending = model_.state == 1;
        DllReply reply = host_.send(L"proxyCredentialsUpdated", random_.payload());
        EXPECT_EQ(reply.text, L"true");
        model_.credentialsUpdated();
        size_t retries = host_.envelopesNamed(L"HEX_NETWORK_ERROR_RETRY").size();
        EXPECT_EQ(retries, pending ? 1u : 0u);
    }

    // Every "signalUIClose" names a view that was attached, and nothing names
    // a view after its "signalUIClose". Records are in the order sent.
    void checkGuids(long index) {
        const std::vector<Envelope>& sent = host_.envelopes();
        for (; checkedEnvelopes_ < sent.size(); ++checkedEnvelopes_) {
            const Envelope& e = sent[checkedEnvelopes_];
            const std::wstring guid = halvet::test::elementText(e.messageData, L"guid");
            if (e.messageName == L"signalUIClose") {
                EXPECT_EQ(attachedGuids_.count(guid), 1u)
                    << "step " << index << ": signalUIClose names a view never attached: "
                    << testing::PrintToString(guid);
            }
            if (!guid.empty() && closedGuids_.count(guid)) {
                ADD_FAILURE() << "step " << index << ": " << testing::PrintToString(e.messageName)
                              << " names the closed view " << testing::PrintToString(guid);
            }
            if (e.messageName == L"signalUIClose") closedGuids_.insert(guid);
        }
    }

    // Each envelope once: its data is XML, and its view is one the rules allow.
    void checkEnvelopes(long index) {
        const std::vector<Envelope>& sent = host_.envelopes();
        for (size_t i = checkedEnvelopes_; i < sent.size(); ++i) {
            const Envelope& e = sent[i];
            if (e.messageName == L"GetAppletRelation" && e.messageData.empty()) continue;
            EXPECT_TRUE(isXml(e.messageData))
                << "step " << index << ": " << testing::PrintToString(e.messageName)
                << " carries data that is not XML: " << testing::PrintToString(e.messageData.substr(0, 200));
        }
        checkGuids(index);
    }

    FakeHost host_{EntryPoints{&initialize, &processMessage, &finalize}};
    FakeContainer container_{host_};
    std::unique_ptr<HostWindow> window_ =
        std::make_unique<HostWindow>(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480);
    RandomInput random_;
    NetworkModel model_;
    std::vector<std::wstring> names_;
    bool credentialsUsable_ = false;
    int depth_ = 0;
    int nestsInClose_ = 0;
    int creatingViews_ = 0;
    long createViewsInClose_ = 0;
    long finalizesInClose_ = 0;
    std::map<std::wstring, HWND> openViews_;
    std::wstring lastEvent_;
    std::vector<std::unique_ptr<MessageHook>> hooks_;
    int windowDepth_ = 0;
    int windowDepthLimit_ = 0;
    long windowCalls_ = 0;
    long windowFinalizes_ = 0;
    long windowCreateViews_ = 0;
    std::set<std::wstring> attachedGuids_;
    std::set<std::wstring> closedGuids_;
    size_t checkedEnvelopes_ = 0;
};

}  // namespace

TEST(FuzzSoakTest, RandomHostContainerAndPageKeepEveryInvariant) {
    const long steps = environmentNumber("HALVET_FUZZ_STEPS", 20000);
    const uint32_t seed = static_cast<uint32_t>(
        environmentNumber("HALVET_FUZZ_SEED", static_cast<long>(std::time(nullptr) & 0x7FFFFFFF)));
    const long seconds = environmentNumber("HALVET_FUZZ_SECONDS", 600);
    std::cout << "fuzz seed " << seed << " (HALVET_FUZZ_SEED=" << seed << " repeats this run), "
              << steps << " steps" << std::endl;
    RecordProperty("seed", static_cast<int>(seed));

    FuzzHost fuzz(seed);
    fuzz.start();
    const DWORD started = GetTickCount();
    long done = 0;
    for (; done < steps && !testing::Test::HasFatalFailure(); ++done) {
        fuzz.step(done);
        if (testing::Test::HasFailure()) break;
        if ((GetTickCount() - started) / 1000 > static_cast<DWORD>(seconds)) break;
    }
    fuzz.finish();
    std::cout << "fuzz ran " << done << " steps in " << (GetTickCount() - started) << " ms" << std::endl;
}
