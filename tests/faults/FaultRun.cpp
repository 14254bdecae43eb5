#include "faults/FaultRun.h"

#include <algorithm>
#include <set>
#include <vector>

#include "platform/XmlDocument.h"
#include "support/TestWindows.h"

namespace halvet::test {

namespace {

std::wstring temporaryFolder;

size_t temporaryFileCount() {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((temporaryFolder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

uintptr_t probeHandleValue() {
    HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const uintptr_t value = reinterpret_cast<uintptr_t>(probe);
    CloseHandle(probe);
    return value;
}

struct Counts {
    size_t gdi = 0;
    size_t windows = 0;
    uintptr_t handle = 0;
    size_t files = 0;
    static Counts now() {
        pumpMessages();
        return {liveGdiObjects(), liveThreadWindows(), probeHandleValue(), temporaryFileCount()};
    }
};

// What a clean run leaves by itself; see calibrateCounts().
struct Allowance {
    int gdi = 0;
    intptr_t handle = 0;
} allowance;

void add(std::string& problems, const std::string& problem) {
    if (problems.find(problem) != std::string::npos) return;
    if (!problems.empty()) problems += ", ";
    problems += problem;
}

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text.substr(0, 40)) out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    return out;
}

// Every envelope the DLL sent: all nine texts there, addressed, data that an
// XML parser takes.
bool envelopesWellFormed(const FakeHost& host) {
    for (const Envelope& e : host.envelopes()) {
        const std::wstring* texts[] = {&e.targetType,        &e.targetAppletID,
                                       &e.targetAppletVersion, &e.targetInstanceID,
                                       &e.sourceAppletID,    &e.sourceAppletVersion,
                                       &e.sourceInstanceID,  &e.messageName,
                                       &e.messageData};
        for (const std::wstring* text : texts)
            if (*text == L"(null)") return false;
        if (e.header != 1 || e.targetType.empty() || e.receiver().empty()) return false;
        // The relayed event names are the container's own; all else is named.
        if (e.messageName.empty() && e.receiver() != L"HalvetPanel_BL") return false;
        refhost::XmlDocument document;
        if (!document.load(e.messageData)) return false;
    }
    return true;
}

// Every view attached to the container was closed with its own "signalUIClose".
bool noViewLost(const FakeHost& host) {
    std::set<std::wstring> attached, closed;
    for (const Envelope& e : host.envelopes()) {
        if (e.messageName == L"attachParentWindow")
            attached.insert(elementText(e.messageData, L"guid"));
        if (e.messageName == L"signalUIClose") closed.insert(elementText(e.messageData, L"guid"));
    }
    for (const auto& guid : attached)
        if (!closed.count(guid)) return false;
    return true;
}

std::set<HWND> childWindows(HWND parent) {
    std::set<HWND> children;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.insert(c);
    return children;
}

// A view answered as made is whole: its dialog is there and its page asked
// for; one answered as failed leaves no new window in the host's (an earlier
// view may stay, or be closed).
void checkView(FaultSession& session, const std::set<HWND>& before, const std::wstring& reply,
               std::string& problems) {
    pumpMessages();
    if (reply == L"Failure") {
        for (HWND child : childWindows(session.hostWindow()))
            if (!before.count(child)) add(problems, "half-built view");
        return;
    }
    if (!IsWindow(session.container().dialog()) ||
        session.host().envelopesNamed(L"processURL").empty())
        add(problems, "half-built view");
}

// A fresh view in the same process after the failure: made, attached, shown.
void checkRecovery(FaultSession& session, std::string& problems) {
    std::wstring reply;
    const size_t attachedBefore = session.host().envelopesNamed(L"attachParentWindow").size();
    if (!session.perform(Step::CreateView, reply) || reply != session.parentText() ||
        !IsWindow(session.container().dialog()) ||
        session.host().envelopesNamed(L"attachParentWindow").size() != attachedBefore + 1) {
        add(problems, "no recovery (CreateView " + narrow(reply) + ")");
        return;
    }
    if (!session.perform(Step::ShowView, reply)) add(problems, "no recovery (ShowView)");
}

}  // namespace

void usePrivateTemporaryFolder() {
    // A worker takes its driver's folder.
    wchar_t inherited[MAX_PATH + 1] = {};
    if (GetEnvironmentVariableW(L"HALVET_FAULTS_TEMP", inherited, MAX_PATH + 1)) {
        temporaryFolder = inherited;
        return;
    }
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, base);
    temporaryFolder = std::wstring(base) + L"halvet-faults-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(temporaryFolder.c_str(), nullptr);
    for (const wchar_t* name : {L"TMP", L"TEMP", L"HALVET_FAULTS_TEMP"})
        SetEnvironmentVariableW(name, temporaryFolder.c_str());
}

void removePrivateTemporaryFolder() {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((temporaryFolder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") {
                const std::wstring path = temporaryFolder + L"\\" + name;
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(temporaryFolder.c_str());
}

bool heapsValid() {
    std::vector<HANDLE> heaps(256);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    for (DWORD i = 0; i < count && i < heaps.size(); ++i)
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

void calibrateCounts() {
    allowance = {1000, 1000000};
    const FaultRoad& fullest = faultRoads().back();
    for (int i = 0; i < 2; ++i) runWithFailure(fullest, Faulty::malloc, 0);
    Allowance seen{0, 0};
    // Clean runs, and runs in which the module throws once (its first
    // "ShowView" allocation fails): the static runtime of the 64-bit build
    // keeps a kernel handle of a load's first exception past the unload.
    const FaultRoad& show = faultRoads()[2];
    for (int i = 0; i < 4; ++i) {
        const Counts before = Counts::now();
        if (i % 2) runWithFailure(show, Faulty::malloc, 1);
        else runWithFailure(fullest, Faulty::malloc, 0);
        const Counts after = Counts::now();
        seen.gdi = std::max(seen.gdi, int(after.gdi) - int(before.gdi));
        seen.handle = std::max(seen.handle, intptr_t(after.handle) - intptr_t(before.handle));
    }
    allowance = seen;
}

RoadCount countRoad(const FaultRoad& road) {
    RoadCount count;
    FaultSession session;
    FaultSwitch& faults = FaultSwitch::instance();
    if (!session.loaded() || faults.install(session.module()) == 0) return count;
    std::wstring reply;
    count.ok = true;
    for (Step step : road.before) count.ok = session.perform(step, reply) && count.ok;
    faults.startCounting();
    count.ok = session.perform(road.road, reply) && count.ok;
    faults.stopCounting();
    count.calls = faults.allCalls();
    if (road.road != Step::Finalize) session.perform(Step::Finalize, reply);
    faults.uninstall();
    return count;
}

FaultRunResult runWithFailure(const FaultRoad& road, Faulty function, uint32_t n) {
    FaultRunResult result;
    const Counts before = Counts::now();
    {
        FaultSession session;
        FaultSwitch& faults = FaultSwitch::instance();
        if (!session.loaded() || faults.install(session.module()) == 0) {
            add(result.problems, "not loaded");
            return result;
        }
        std::wstring reply;
        for (Step step : road.before)
            if (!session.perform(step, reply)) add(result.problems, "step before the road failed");

        const std::set<HWND> childrenBefore = childWindows(session.hostWindow());
        faults.startCounting();
        faults.failCall(function, n);
        const bool allowed = session.perform(road.road, reply);
        faults.stopCounting();
        result.failureGiven = faults.failuresGiven() > 0;
        faults.clearFailure();
        result.reply = reply;
        if (!allowed) add(result.problems, "reply \"" + narrow(reply) + "\"");
        if (road.road == Step::CreateView) checkView(session, childrenBefore, reply, result.problems);

        // Whatever failed, the host goes on: initialize again when it was
        // refused, then a fresh view.
        if (road.road == Step::Initialize && reply != L"1" &&
            (!session.perform(Step::Initialize, reply) || reply != L"1"))
            add(result.problems, "no recovery (initialize)");
        checkRecovery(session, result.problems);
        if (!session.perform(Step::Finalize, reply)) add(result.problems, "finalize");
        pumpMessages();
        if (!noViewLost(session.host())) add(result.problems, "view lost without signalUIClose");
        if (!envelopesWellFormed(session.host())) add(result.problems, "ill-formed envelope");
        if (session.host().outstandingReplies() != 0) add(result.problems, "reply not released");
        faults.uninstall();
    }
    if (!heapsValid()) add(result.problems, "heap error");
    const Counts after = Counts::now();
    if (after.windows != before.windows) add(result.problems, "leak: windows");
    if (int(after.gdi) - int(before.gdi) > allowance.gdi) add(result.problems, "leak: GDI objects");
    if (intptr_t(after.handle) - intptr_t(before.handle) > allowance.handle)
        add(result.problems, "leak: handles");
    if (after.files != before.files) add(result.problems, "leak: files");
    return result;
}

}  // namespace halvet::test
