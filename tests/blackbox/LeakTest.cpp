// Many lives of the panel's view inside one loaded DLL leave the process as
// they found it: heap bytes, private bytes, GDI objects, windows, kernel
// handles and temporary files.
//
// Every count is read after a few warm-up cycles, so that what the DLL and the
// platform make once and keep (the image library's and the XML library's
// first-use state, class registrations, fonts) is already there.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/FakeContainer.h"
#include "support/FakeHost.h"
#include "support/TestWindows.h"

using halvet::test::FakeContainer;
using halvet::test::FakeHost;
using halvet::test::HostReply;

namespace {

// Bytes in busy blocks of every heap of the process: the CRT's heap (which the
// DLL's new and malloc use), the process heap (COM, the XML and image
// libraries) and any other.
int64_t heapBytesInUse() {
    std::vector<HANDLE> heaps(256);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    int64_t bytes = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

// Committed private memory of the process, region by region (the process
// memory counters report 0 here).
int64_t privateBytesInUse() {
    int64_t bytes = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const BYTE* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return bytes;
}

// Kernel handles: the system hands out the lowest free slot, so a fresh
// handle's value rises when handles are left open.
uintptr_t probeHandleValue() {
    HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const uintptr_t value = reinterpret_cast<uintptr_t>(probe);
    CloseHandle(probe);
    return value;
}

// Other test programs write to the user's temporary folder at the same time:
// this one gets a folder of its own, so that its count sees only the DLL.
class PrivateTemporaryFolder : public testing::Environment {
public:
    void SetUp() override {
        wchar_t base[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, base);
        folder_ = std::wstring(base) + L"halvet-blackbox-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        for (const wchar_t* name : {L"TMP", L"TEMP"}) SetEnvironmentVariableW(name, folder_.c_str());
    }
    void TearDown() override {
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name != L"." && name != L"..") DeleteFileW((folder_ + L"\\" + name).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder_.c_str());
    }

private:
    std::wstring folder_;
};

testing::Environment* const privateTemporaryFolder =
    testing::AddGlobalTestEnvironment(new PrivateTemporaryFolder);

size_t temporaryFileCount() {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((std::wstring(folder) + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    do {
        ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

struct Counts {
    int64_t heap = 0;
    int64_t privateBytes = 0;
    size_t gdi = 0;
    size_t windows = 0;
    uintptr_t handle = 0;
    size_t temporaryFiles = 0;

    static Counts now() {
        pumpMessages();
        Counts c;
        c.heap = heapBytesInUse();
        c.privateBytes = privateBytesInUse();
        c.gdi = liveGdiObjects();
        c.windows = liveThreadWindows();
        c.handle = probeHandleValue();
        c.temporaryFiles = temporaryFileCount();
        return c;
    }
};

// Bounds, for any number of cycles (one leaked 8-byte block per cycle is
// 4,000 bytes over 500 cycles, one object per cycle is 500 objects):
//   heap bytes: 2 KB, for a library's cache that may keep a freed block;
//   private bytes: 1 MB, as the heaps commit whole regions and keep them
//     (large or virtual allocations that the heap walk does not see);
//   GDI objects: 4, for the system's drawing-context cache (a context and its
//     region) and colour brushes, which grow once on demand and are kept;
//   windows, the probe handle's value, temporary files: exact.
constexpr int64_t kHeapBound = 2 * 1024;
constexpr int64_t kPrivateBound = 1024 * 1024;
constexpr size_t kGdiBound = 4;

// `platform`: what the system's own calls in the cycles keep, measured apart
// (heap and private bytes only).
void expectNoGrowth(const Counts& before, const Counts& after, int cycles,
                    const Counts& platform = {}) {
    std::printf("[ leaks    ] %d cycles: heap %+lld bytes, private %+lld bytes, GDI %+d, windows %+d, "
                "handle value %+d, temporary files %+d\n",
                cycles, static_cast<long long>(after.heap - before.heap),
                static_cast<long long>(after.privateBytes - before.privateBytes),
                int(after.gdi) - int(before.gdi), int(after.windows) - int(before.windows),
                int(after.handle) - int(before.handle),
                int(after.temporaryFiles) - int(before.temporaryFiles));
    EXPECT_LE(after.heap - before.heap, kHeapBound + platform.heap);
    EXPECT_LE(after.privateBytes - before.privateBytes, kPrivateBound + platform.privateBytes);
    EXPECT_LE(after.gdi, before.gdi + kGdiBound);
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_LE(after.handle, before.handle);
    EXPECT_EQ(after.temporaryFiles, before.temporaryFiles);
}

class LeakTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.loaded());
        // Every reply is a buffer the DLL releases: the host keeps nothing
        // per message that would count as the DLL's growth.
        host.setDefaultResponder([](const auto&) { return HostReply::owned(L""); });
        host.respondToMessage(L"GetProxyCredentials", [](const auto&) {
            return HostReply::owned(
                L"<proxy-preferences><proxy-user>u</proxy-user><proxy-password>p</proxy-password>"
                L"</proxy-preferences>");
        });
        ASSERT_EQ(host.initialize(), 1);
        wchar_t text[32];
        swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window.hwnd())));
        createData = std::wstring(L"<v><parentViewPtr>") + text + L"</parentViewPtr></v>";
    }

    // Warm-up, counts, the cycles, counts again.
    void measure(int cycles, const std::function<void(FakeContainer&)>& cycle,
                 const Counts& platform = {}) {
        auto once = [&] {
            // One container per view: what it records goes with it.
            FakeContainer container(host);
            cycle(container);
            host.clearRecords();
        };
        for (int i = 0; i < 5; ++i) once();
        // GDI refusing objects during the first count makes the system's
        // drawing-context cache take a new entry afterwards: not the baseline.
        Counts::now();
        once();
        const Counts before = Counts::now();
        for (int i = 0; i < cycles && !HasFailure(); ++i) once();
        expectNoGrowth(before, Counts::now(), cycles, platform);
    }

    void createAndShow(FakeContainer& container) {
        ASSERT_NE(host.send(L"CreateView", createData).text, L"Failure");
        ASSERT_TRUE(IsWindow(container.webView()));
        host.send(L"ShowView");
    }

    FakeHost host;
    HostWindow window{WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480};
    std::wstring createData;
};

}  // namespace

// Each counter sees a leak of its kind, so a count that stays put means something.
TEST(LeakCountersTest, EachCounterSeesWhatIsLeftBehind) {
    Counts::now();
    const Counts before = Counts::now();
    std::vector<void*> blocks;
    for (int i = 0; i < 100; ++i) blocks.push_back(std::malloc(64));
    for (int i = 0; i < 100; ++i) blocks.push_back(HeapAlloc(GetProcessHeap(), 0, 64));
    void* region = VirtualAlloc(nullptr, 2 * kPrivateBound, MEM_COMMIT, PAGE_READWRITE);
    HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
    HostWindow extra(WS_POPUP, 0, 0, 10, 10);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wchar_t folder[MAX_PATH + 1] = {}, file[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    GetTempFileNameW(folder, L"hlv", 0, file);
    const Counts after = Counts::now();
    EXPECT_GT(after.heap - before.heap, kHeapBound);
    EXPECT_GT(after.privateBytes - before.privateBytes, kPrivateBound);
    EXPECT_GT(after.gdi, before.gdi);
    EXPECT_GT(after.windows, before.windows);
    EXPECT_GT(after.handle, before.handle);
    EXPECT_GT(after.temporaryFiles, before.temporaryFiles);
    DeleteFileW(file);
    CloseHandle(event);
    DeleteObject(brush);
    VirtualFree(region, 0, MEM_RELEASE);
    for (int i = 0; i < 100; ++i) std::free(blocks[i]);
    for (int i = 100; i < 200; ++i) HeapFree(GetProcessHeap(), 0, blocks[i]);
}

TEST_F(LeakTest, FiveHundredShownAndClosedViewsLeaveNothingBehind) {
    measure(500, [&](FakeContainer& container) {
        createAndShow(container);
        host.send(L"HideSpinner");
        EXPECT_EQ(host.finalize(), 1);
    });
}

// The panel's whole life, initialize aside: the page loaded, its fonts, the
// container's events (a page loaded, a page message, a network error, a
// proxy error answered with stored credentials), the close.
TEST_F(LeakTest, ThousandFullCyclesLeaveNothingBehind) {
    measure(1000, [&](FakeContainer& container) {
        createAndShow(container);
        EXPECT_EQ(host.send(L"ProcessFonts").text, L"Success");
        container.fire(L"OnLoadEnd", L"file:///C:/panel/index.html");
        host.send(L"HideSpinner");
        container.fire(L"pageMessage", L"<page><item id=\"1\">text &amp; more</item></page>");
        container.fire(L"CEF_ERROR", L"<error><errReason>ERR_CONNECTION_RESET</errReason></error>");
        host.send(L"ReloadHTML");
        container.fire(L"CEF_ERROR", L"<error><errReason>ERR_TUNNEL_CONNECTION_FAILED</errReason></error>");
        host.send(L"ContentForHTML", L"<htmlContent><x/></htmlContent>");
        EXPECT_EQ(host.envelopesNamed(L"setProxyCredentials").size(), 1u);
        EXPECT_EQ(host.envelopesNamed(L"HEX_NETWORK_ERROR").size(), 1u);
        EXPECT_EQ(host.finalize(), 1);
    });
}

namespace {

// What `calls` requests of a window's accessible object keep in this process
// when the window answers them itself, as the spinner does: the platform's own
// cost of the round trip, apart from anything of the panel. (Wine's keeps
// about a kilobyte per call.)
IAccessible* answeredObject = nullptr;
WNDPROC answeringWindowsProcedure = nullptr;

LRESULT CALLBACK answerWithObject(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT))
        return LresultFromObject(IID_IAccessible, wParam, answeredObject);
    return CallWindowProcW(answeringWindowsProcedure, window, message, wParam, lParam);
}

Counts platformAccessibleRoundTrips(int calls) {
    HostWindow window(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100);
    IAccessible*& standard = answeredObject;
    WNDPROC& previous = answeringWindowsProcedure;
    CreateStdAccessibleObject(window.hwnd(), OBJID_CLIENT, IID_IAccessible,
                              reinterpret_cast<void**>(&standard));
    previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        window.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(answerWithObject)));
    auto ask = [&] {
        IAccessible* object = nullptr;
        AccessibleObjectFromWindow(window.hwnd(), OBJID_CLIENT, IID_IAccessible,
                                   reinterpret_cast<void**>(&object));
        if (object) object->Release();
    };
    for (int i = 0; i < 5; ++i) ask();
    const Counts before = Counts::now();
    for (int i = 0; i < calls; ++i) ask();
    const Counts after = Counts::now();
    SetWindowLongPtrW(window.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    if (standard) standard->Release();
    standard = nullptr;
    Counts cost;
    cost.heap = std::max<int64_t>(0, after.heap - before.heap);
    cost.privateBytes = std::max<int64_t>(0, after.privateBytes - before.privateBytes);
    std::printf(
        "[ leaks    ] the platform alone, %d accessible-object requests: heap %+lld bytes, "
        "private %+lld bytes\n",
        calls, static_cast<long long>(cost.heap), static_cast<long long>(cost.privateBytes));
    return cost;
}

}  // namespace

// A screen reader reading the spinner in every life of the view: its object,
// made per view and disconnected at the close, goes with the view.
TEST_F(LeakTest, ThousandViewsReadByAScreenReaderLeaveNothingBehind) {
    const Counts platform = platformAccessibleRoundTrips(1000);
    measure(
        1000,
        [&](FakeContainer& container) {
            createAndShow(container);
            IAccessible* object = nullptr;
            ASSERT_EQ(
                AccessibleObjectFromWindow(GetDlgItem(container.dialog(), 3038), OBJID_CLIENT,
                                           IID_IAccessible, reinterpret_cast<void**>(&object)),
                S_OK);
            VARIANT self{};
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            BSTR name = nullptr;
            EXPECT_EQ(object->get_accName(self, &name), S_OK);
            SysFreeString(name);
            host.send(L"HideSpinner");
            VARIANT state{};
            EXPECT_EQ(object->get_accState(self, &state), S_OK);
            object->Release();
            EXPECT_EQ(host.finalize(), 1);
        },
        platform);
}
