// Each operation of the DLL next to the platform work it cannot avoid.
// Usage: halvet_bench [--smoke] [--reps N] [--only messages|spinner|view]
// Figures are wall-clock microseconds under whatever runs the program (Wine on
// Linux in this project); compare the ratios, not the absolute times.
#include <windows.h>
#include <msxml2.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include "bench/Measure.h"
#include "dialogs/MainDlg.h"
#include "drawing/PngResource.h"
#include "drawing/SharedGdiplusSession.h"
#include "host/Exports.h"
#include "host/HalvetAppUIMessageProcessor.h"
#include "util/ModuleHandle.h"
#include "panel/ContainerCallback.h"
#include "panel/ContentLoading.h"
#include "resources/resource.h"

namespace {

struct Options {
    bool smoke = false;
    int repetitions = 2000;
    // Rows to run: "messages" (the message and content rows), "spinner",
    // "view" (first frame, cost of a view, processor share); empty: all.
    std::string only;
};

// The host: answers every message with an empty static text, logs nowhere.
const wchar_t* __cdecl hostSend(MessageRecord*, ReplyReleaseFunction* release) {
    *release = nullptr;
    return L"";
}
void __cdecl hostLog(int, const wchar_t*, ...) {}

std::wstring xmlOfSize(size_t bytes) {
    std::wstring xml = L"<data>";
    for (int i = 0; xml.size() * sizeof(wchar_t) < bytes; ++i)
        xml += L"<item id=\"" + std::to_wstring(i) + L"\">text of item &amp; more</item>";
    return xml + L"</data>";
}

// The bare platform work of one XML pass: one document, one load, one write.
const IID kIidDocument = {
    0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
const CLSID& documentClass() {
    static CLSID clsid = [] {
        CLSID c{};
        CLSIDFromProgID(L"MSXML2.DOMDocument.3.0", &c);
        return c;
    }();
    return clsid;
}

void loadAndSerialise(IXMLDOMDocument* document, const std::wstring& xml) {
    document->put_async(VARIANT_FALSE);
    BSTR text = SysAllocStringLen(xml.data(), static_cast<UINT>(xml.size()));
    VARIANT_BOOL ok = VARIANT_FALSE;
    document->loadXML(text, &ok);
    SysFreeString(text);
    BSTR out = nullptr;
    document->get_xml(&out);
    SysFreeString(out);
    document->Release();
}

// With a document made by COM from the class's name, as work outside a host
// call makes its documents (container callbacks).
void loadAndSerialise(const std::wstring& xml) {
    IXMLDOMDocument* document = nullptr;
    if (FAILED(CoCreateInstance(documentClass(), nullptr, CLSCTX_INPROC_SERVER, kIidDocument,
                                reinterpret_cast<void**>(&document))))
        return;
    loadAndSerialise(document, xml);
}

// A class factory taken from COM, as a host call takes one for its
// documents. Held for a whole measurement, its documents cost what a
// document costs inside a call once the call has its factory.
class HeldFactory {
public:
    HeldFactory() {
        CoGetClassObject(documentClass(), CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                         reinterpret_cast<void**>(&factory_));
    }
    ~HeldFactory() {
        if (factory_) factory_->Release();
    }
    HeldFactory(const HeldFactory&) = delete;
    HeldFactory& operator=(const HeldFactory&) = delete;

    void loadAndSerialise(const std::wstring& xml) const {
        IXMLDOMDocument* document = nullptr;
        if (!factory_ || FAILED(factory_->CreateInstance(nullptr, kIidDocument,
                                                         reinterpret_cast<void**>(&document))))
            return;
        ::loadAndSerialise(document, xml);
    }

private:
    IClassFactory* factory_ = nullptr;
};

// A row without a target (0) is kept for comparison only: it prints its
// ratio and no verdict.
struct Row {
    std::string name;
    Timing ours, floor;
    double target;
};

void printRow(const Row& row) {
    const double ratio = row.floor.median > 0 ? row.ours.median / row.floor.median : 0;
    char target[16] = "-";
    if (row.target > 0) std::snprintf(target, sizeof target, "%.2f", row.target);
    const char* verdict = row.target <= 0 ? "" : ratio <= row.target ? "met" : "MISSED";
    std::printf("%-44s %12.2f %12.2f %8.2f %8s %7.0f%% %7.0f%%  %s\n", row.name.c_str(),
                row.ours.median, row.floor.median, ratio, target, row.ours.spread * 100,
                row.floor.spread * 100, verdict);
}

class Bench {
public:
    explicit Bench(const Options& options) : options_(options) {
        host_.header = 1;
        host_.send = hostSend;
        host_.log = hostLog;
        initialize(
            L"<CommandLineArguments><appletID>HalvetPanel_UI</appletID><appletVersion>1.0"
            L"</appletVersion><appletInstanceID>1</appletInstanceID></CommandLineArguments>",
            &host_);
        // A view inside a window of ours, as a host has it: the content
        // handlers need one.
        window_ = CreateWindowExW(0, L"Static", L"bench host", WS_POPUP | WS_VISIBLE, 0, 0, 640,
                                  480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        // The first view of the process pays what later ones do not (the
        // image library, the XML classes, the pictures decoded): one sample.
        const double start = nowMicroseconds();
        openView(window_);
        firstViewMicroseconds_ = nowMicroseconds() - start;
    }

    ~Bench() {
        if (window_) DestroyWindow(window_);
    }

    void run() {
        std::printf("%-44s %12s %12s %8s %8s %8s %8s\n", "operation (microseconds)", "ours",
                    "floor", "ratio", "target", "spread", "floor sp");
        if (wanted("messages")) {
            messageRow();
            contentRow(L"ContentForHTML, 1 KB", 1024, reps());
            contentRow(L"ContentForHTML, 1 MB", 1024 * 1024, options_.smoke ? 2 : 25);
            contentHeldFactoryRow();
            callbackRow();
            fontRow();
        }
        if (wanted("spinner")) spinnerRow();
        if (wanted("view")) {
            firstFrameRow();
            viewCostRow();
            cpuShareRow();
            // The rows above closed the view the other rows had: one again, as before.
            openView(window_);
        }
        if (wanted("messages")) memoryRow();
        finalize(L"bench");
    }

private:
    int reps() const { return options_.smoke ? 20 : options_.repetitions; }
    bool wanted(const char* rows) const { return options_.only.empty() || options_.only == rows; }

    MessageRecord record(const std::wstring& name, const std::wstring& data) {
        name_ = name;
        data_ = data;
        return {1,    L"Applet",     L"HalvetPanel_UI", L"1.0", L"1", L"Core", L"1.0",
                L"1", name_.c_str(), data_.c_str(),     0,      1,    0,       0};
    }

    static void deliver(MessageRecord& request) {
        ReplyReleaseFunction release = nullptr;
        const wchar_t* reply = processMessage(&request, &release);
        if (release) release(const_cast<wchar_t*>(reply));
    }

    void messageRow() {
        MessageRecord request = record(L"proxyCredentialsUpdated", std::wstring(50, L'x'));
        auto [ours, floor] = measurePair(
            [&] { deliver(request); },
            [&] {
                const wchar_t* fields[] = {
                    request.targetType,       request.targetAppletID, request.targetAppletVersion,
                    request.targetInstanceID, request.sourceAppletID, request.sourceAppletVersion,
                    request.sourceInstanceID, request.messageName,    request.messageData};
                std::vector<std::wstring> copies;
                copies.reserve(9);
                for (const wchar_t* f : fields) copies.emplace_back(f);
            },
            reps(), 50, 20);
        printRow({"processMessage, handled name, 100 bytes", ours, floor, 1.5});
    }

    // Against the work one host call cannot do without: the factory taken
    // from COM (once per call, as the handler takes it), one document made
    // with it, loaded with the data and written out.
    void contentRow(const wchar_t* label, size_t bytes, int repetitions) {
        const std::wstring data = xmlOfSize(bytes);
        MessageRecord request = record(L"ContentForHTML", data);
        auto [ours, floor] = measurePair([&] { deliver(request); },
                                         [&] { HeldFactory().loadAndSerialise(data); },
                                         repetitions, 2);
        char name[64];
        std::snprintf(name, sizeof name, "%ls", label);
        printRow({name, ours, floor, 1.5});
    }

    // For comparison: the same message against a document from a factory
    // held across calls, which the handler may not do (the factory belongs to
    // the host's apartment between calls). The difference is COM's lookup of
    // the class, a few registry round trips under Wine and a cache hit on
    // Windows.
    void contentHeldFactoryRow() {
        const std::wstring data = xmlOfSize(1024);
        MessageRecord request = record(L"ContentForHTML", data);
        const HeldFactory factory;
        auto [ours, floor] = measurePair([&] { deliver(request); },
                                         [&] { factory.loadAndSerialise(data); }, reps(), 2);
        printRow({"ContentForHTML, 1 KB, vs held factory", ours, floor, 0});
    }

    void callbackRow() {
        const std::wstring payload = xmlOfSize(1024);
        auto [ours, floor] =
            measurePair([&] { containerCallback(L"pageMessage", payload.c_str()); },
                        [&] { loadAndSerialise(payload); }, reps(), 20);
        printRow({"containerCallback, 1 KB XML payload", ours, floor, 1.5});
    }

    void fontRow() {
        HalvetAppUIMessageProcessor& panel = *HalvetAppUIMessageProcessor::instance();
        const std::string_view bytes = halvet::fontStylesheet();
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        const std::wstring floorPath = std::wstring(folder) + L"halvet-bench-floor.css";
        MessageRecord request = record(L"ProcessFonts", L"");
        auto [ours, floor] = measurePair([&] { deliver(request); },
                                         [&] { halvet::writeFileBytes(floorPath, bytes); },
                                         options_.smoke ? 5 : 200, 3);
        DeleteFileW(floorPath.c_str());
        panel.deleteFontFile();
        printRow({"ProcessFonts, " + std::to_string(bytes.size() / 1024) + " KB file", ours, floor,
                  1.3});
    }

    // A top-level window of a plain class, as a host's window is.
    static HWND hostWindow() {
        static const ATOM windowClass = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"HalvetBenchHost";
            return RegisterClassW(&wc);
        }();
        return CreateWindowExW(0, MAKEINTATOM(windowClass), L"host",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }

    // One frame of the loading ring in the panel's own dialog (the tick, the
    // invalidation it makes, the painting the message loop then delivers)
    // next to what a frame cannot do without, and next to a bare rotated draw.
    void spinnerRow() {
        HWND top = hostWindow();
        CWnd parent;
        parent.Attach(top);
        {
            MainDlg dialog(&parent);
            dialog.Create(MainDlg::kTemplateId, &parent);
            dialog.ShowWindow(SW_SHOW);
            // Ticks come from the benchmark only.
            ::KillTimer(dialog.spinner.m_hWnd, CStaticImageCtrl::kTimerId);
            dialog.UpdateWindow();
            spinnerFrames(dialog.spinner.m_hWnd);
        }
        parent.Detach();
        ::DestroyWindow(top);
    }

    // As the host's message loop delivers a spinner frame: the tick, then
    // whatever painting it asked for.
    static void pumpPending() {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    }

    void spinnerFrames(HWND spinner) {
        auto frame = [&] {
            ::SendMessageW(spinner, WM_TIMER, CStaticImageCtrl::kTimerId, 0);
            pumpPending();
        };
        RECT client{};
        ::GetClientRect(spinner, &client);
        const int w = client.right, h = client.bottom;
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", w, h);
        const int repetitions = options_.smoke ? 20 : 1000;

        // What a kept frame cannot avoid: the platform's invalidate and paint
        // cycle of a window of the same size in the same dialog, whose paint
        // copies one bitmap of that size to the screen.
        {
            CopyPaintWindow copying(::GetParent(spinner), w, h);
            auto cycle = [&] {
                ::InvalidateRect(copying.window, nullptr, TRUE);
                pumpPending();
            };
            auto [ours, floor] = measurePair(frame, cycle, repetitions, 20);
            printRow({std::string("spinner frame vs empty paint + one copy, ") + size, ours, floor,
                      1.2});
        }

        // Next to the picture turned into an off-screen surface by the image
        // library and one copy to the window: what every frame cost before
        // frames were kept.
        auto gdiplus = halvet::sharedGdiplusSession();
        auto ring = halvet::loadPngResource(halvet::thisModule(), IDB_SPINNER_NORMAL);
        if (!ring) return;
        HDC screen = ::GetDC(spinner);
        HDC memory = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        float angle = 0;
        auto bare = [&] {
            angle = angle >= 360.0f ? 30.0f : angle + 30.0f;
            {
                Gdiplus::Graphics graphics(memory);
                graphics.TranslateTransform(w / 2.0f, h / 2.0f);
                graphics.RotateTransform(angle);
                graphics.DrawImage(ring.get(),
                                   Gdiplus::RectF(-w / 2.0f, -h / 2.0f, float(w), float(h)), 0, 0,
                                   float(w), float(h), Gdiplus::UnitPixel);
            }
            ::BitBlt(screen, 0, 0, w, h, memory, 0, 0, SRCCOPY);
        };
        auto [ours, floor] = measurePair(frame, bare, repetitions, 20);
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        ::ReleaseDC(spinner, screen);
        // Kept to compare with the frames of before; the row above holds the target.
        printRow({std::string("spinner frame vs bare rotated draw, ") + size, ours, floor, 0});
    }

    // A child window whose paint handler only copies one bitmap of its own
    // size to the screen: the floor of a frame that is already composed.
    struct CopyPaintWindow {
        static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_PAINT) {
                PAINTSTRUCT paint;
                HDC dc = ::BeginPaint(window, &paint);
                auto* self =
                    reinterpret_cast<CopyPaintWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
                if (self)
                    ::BitBlt(dc, 0, 0, self->width, self->height, self->memory, 0, 0, SRCCOPY);
                ::EndPaint(window, &paint);
                return 0;
            }
            if (message == WM_ERASEBKGND) return 1;
            return ::DefWindowProcW(window, message, wParam, lParam);
        }

        CopyPaintWindow(HWND parent, int cx, int cy) : width(cx), height(cy) {
            static const ATOM windowClass = [] {
                WNDCLASSW type{};
                type.lpfnWndProc = procedure;
                type.hInstance = GetModuleHandleW(nullptr);
                type.lpszClassName = L"HalvetBenchCopyPaint";
                return RegisterClassW(&type);
            }();
            window = CreateWindowExW(0, MAKEINTATOM(windowClass), L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                     cx, cy, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
            HDC screen = ::GetDC(window);
            memory = ::CreateCompatibleDC(screen);
            bitmap = ::CreateCompatibleBitmap(screen, cx, cy);
            old = ::SelectObject(memory, bitmap);
            ::PatBlt(memory, 0, 0, cx, cy, WHITENESS);
            ::ReleaseDC(window, screen);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
        ~CopyPaintWindow() {
            ::DestroyWindow(window);
            ::SelectObject(memory, old);
            ::DeleteObject(bitmap);
            ::DeleteDC(memory);
        }
        CopyPaintWindow(const CopyPaintWindow&) = delete;
        CopyPaintWindow& operator=(const CopyPaintWindow&) = delete;

        int width, height;
        HWND window = nullptr;
        HDC memory = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ old = nullptr;
    };

    // The panel's view in `host`, made and shown as a host does it, with its
    // first frame painted.
    void openView(HWND host) {
        MessageRecord create = record(
            L"CreateView", L"<v><parentViewPtr>" + handleText(host) + L"</parentViewPtr></v>");
        deliver(create);
        MessageRecord show = record(L"ShowView", L"");
        deliver(show);
        pumpPending();
    }

    static std::wstring handleText(HWND window) {
        wchar_t text[32];
        swprintf(text, 32, L"0x%llx",
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
        return text;
    }

    static INT_PTR CALLBACK plainDialog(HWND, UINT message, WPARAM, LPARAM) {
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }

    // From the host's "CreateView" (and the "ShowView" it sends next) to the
    // end of the first paint of the dialog with the ring drawn, next to a
    // dialog made from the same template in the same host window, shown and
    // painted once. Each repetition closes what it opened, untimed.
    void firstFrameRow() {
        HWND top = hostWindow();
        HWND floorDialog = nullptr;
        auto ours = [&] { openView(top); };
        auto close = [&] { finalize(L"bench"); };
        auto floor = [&] {
            floorDialog = ::CreateDialogParamW(
                halvet::thisModule(), MAKEINTRESOURCEW(MainDlg::kTemplateId), top, plainDialog, 0);
            ::ShowWindow(floorDialog, SW_SHOW);
            pumpPending();
        };
        auto destroy = [&] { ::DestroyWindow(floorDialog); };
        auto [timeOurs, timeFloor] =
            measureAlternating(ours, floor, options_.smoke ? 5 : 400, 3, close, destroy);
        ::DestroyWindow(top);
        printRow({"CreateView to first frame, vs same dialog", timeOurs, timeFloor, 1.5});
        std::printf("%-44s %12.2f   (one sample: the first view of the process)\n",
                    "  first view of the process", firstViewMicroseconds_);
    }

    // Windows of this thread, top-level and children.
    static BOOL CALLBACK countWindow(HWND window, LPARAM count) {
        ++*reinterpret_cast<size_t*>(count);
        ::EnumChildWindows(window, countWindow, count);
        return TRUE;
    }
    static size_t threadWindows() {
        size_t count = 0;
        ::EnumThreadWindows(::GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&count));
        return count;
    }

    // Live GDI objects, up to a constant: GetGuiResources reads 0 under Wine,
    // so the handle table's free room is measured by filling it.
    static size_t liveGdiObjects() {
        std::vector<HBRUSH> probes;
        probes.reserve(0x10000);
        while (HBRUSH probe = ::CreateSolidBrush(RGB(1, 2, 3))) probes.push_back(probe);
        for (HBRUSH probe : probes) ::DeleteObject(probe);
        return 0x10000 - probes.size();
    }

    struct Footprint {
        long long privateBytes;
        long long gdiObjects;
        long long windows;
    };
    static Footprint footprint() {
        return {static_cast<long long>(privateBytes()), static_cast<long long>(liveGdiObjects()),
                static_cast<long long>(threadWindows())};
    }

    // What one open view holds: shown, its ring turned through a whole turn
    // (so every kept frame is made), against no view open.
    void viewCostRow() {
        HWND top = hostWindow();
        openView(top);
        finalize(L"bench");  // the first view's one-time costs are not the view's
        const Footprint none = footprint();
        openView(top);
        HWND spinner = ::GetDlgItem(::GetWindow(top, GW_CHILD), IDC_SPINNER);
        for (int i = 0; i < 12; ++i) {
            ::SendMessageW(spinner, WM_TIMER, CStaticImageCtrl::kTimerId, 0);
            pumpPending();
        }
        const Footprint open = footprint();
        finalize(L"bench");
        const Footprint closed = footprint();
        ::DestroyWindow(top);
        std::printf(
            "%-44s %+12lld bytes, %+lld GDI objects, %+lld windows (closed again: %+lld, "
            "%+lld, %+lld)\n",
            "one open view, against none", open.privateBytes - none.privateBytes,
            open.gdiObjects - none.gdiObjects, open.windows - none.windows,
            closed.privateBytes - none.privateBytes, closed.gdiObjects - none.gdiObjects,
            closed.windows - none.windows);
    }

    static double threadCpuSeconds() {
        FILETIME created, exited, kernel, user;
        if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
        auto seconds = [](const FILETIME& t) {
            return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
                   1e7;
        };
        return seconds(kernel) + seconds(user);
    }

    // The share of one core that the turning ring takes on the host's thread:
    // the view's own 100 ms timer runs for a while under an idle message loop.
    // Reported twice: the thread's processor time, and the time spent inside
    // the dispatch of messages, each against the wall clock.
    void cpuShareRow() {
        HWND top = hostWindow();
        openView(top);
        const double seconds = options_.smoke ? 0.5 : 10.0;
        const double cpuBefore = threadCpuSeconds();
        const double start = nowMicroseconds();
        double busy = 0;
        int frames = 0;
        while (nowMicroseconds() - start < seconds * 1e6) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                const double at = nowMicroseconds();
                if (message.message == WM_TIMER && message.wParam == CStaticImageCtrl::kTimerId)
                    ++frames;
                ::DispatchMessageW(&message);
                busy += nowMicroseconds() - at;
            }
        }
        const double wall = (nowMicroseconds() - start) / 1e6;
        const double cpu = threadCpuSeconds() - cpuBefore;
        finalize(L"bench");
        ::DestroyWindow(top);
        std::printf(
            "%-44s %11.2f%% of a core (thread time), %.2f%% in dispatch, %d ticks in %.1f s\n",
            "spinner turning at 100 ms", 100.0 * cpu / wall, 100.0 * busy / 1e6 / wall, frames,
            wall);
    }

    // Committed private memory, region by region: the process memory
    // counters' private usage reads 0 under Wine.
    static SIZE_T privateBytes() {
        SIZE_T bytes = 0;
        MEMORY_BASIC_INFORMATION region{};
        for (const BYTE* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
             at = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
            if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
                bytes += region.RegionSize;
            if (region.RegionSize == 0) break;
        }
        return bytes;
    }

    void memoryRow() {
        MessageRecord request = record(L"proxyCredentialsUpdated", std::wstring(50, L'x'));
        const std::wstring payload = xmlOfSize(1024);
        auto cycle = [&] {
            deliver(request);
            containerCallback(L"pageMessage", payload.c_str());
        };
        for (int i = 0; i < 1000; ++i) cycle();
        const SIZE_T before = privateBytes();
        const int count = options_.smoke ? 1000 : 10000;
        for (int i = 0; i < count; ++i) cycle();
        const long long growth =
            static_cast<long long>(privateBytes()) - static_cast<long long>(before);
        std::printf("%-44s %12lld bytes after %d messages and %d relays (target 0)  %s\n",
                    "private bytes growth", growth, count, count, growth <= 0 ? "met" : "MISSED");
    }

    Options options_;
    HostContext host_{};
    std::wstring name_, data_;
    HWND window_ = nullptr;
    double firstViewMicroseconds_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--smoke") options.smoke = true;
        if (std::string(argv[i]) == "--reps" && i + 1 < argc)
            options.repetitions = std::atoi(argv[++i]);
        if (std::string(argv[i]) == "--only" && i + 1 < argc) options.only = argv[++i];
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Bench bench(options);
        bench.run();
    }
    CoUninitialize();
    return 0;
}
