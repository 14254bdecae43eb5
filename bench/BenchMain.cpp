// Each operation of the DLL next to the platform work it cannot avoid.
// Usage: halvet_bench [--smoke] [--reps N]
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
const IID kIidDocument = {0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
void loadAndSerialise(const std::wstring& xml) {
    static CLSID clsid = [] {
        CLSID c{};
        CLSIDFromProgID(L"MSXML2.DOMDocument.3.0", &c);
        return c;
    }();
    IXMLDOMDocument* document = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidDocument,
                                reinterpret_cast<void**>(&document))))
        return;
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

struct Row {
    std::string name;
    Timing ours, floor;
    double target;
};

void printRow(const Row& row) {
    const double ratio = row.floor.median > 0 ? row.ours.median / row.floor.median : 0;
    std::printf("%-44s %12.2f %12.2f %8.2f %8.2f %7.0f%% %7.0f%%  %s\n", row.name.c_str(),
                row.ours.median, row.floor.median, ratio, row.target, row.ours.spread * 100,
                row.floor.spread * 100, ratio <= row.target ? "met" : "MISSED");
}

class Bench {
public:
    explicit Bench(const Options& options) : options_(options) {
        host_.header = 1;
        host_.send = hostSend;
        host_.log = hostLog;
        initialize(L"<CommandLineArguments><appletID>HalvetPanel_UI</appletID><appletVersion>1.0"
                   L"</appletVersion><appletInstanceID>1</appletInstanceID></CommandLineArguments>",
                   &host_);
        // A view inside a window of ours, as a host has it: the content
        // handlers need one.
        window_ = CreateWindowExW(0, L"Static", L"bench host", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        wchar_t handle[32];
        swprintf(handle, 32, L"0x%llx",
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window_)));
        MessageRecord create = record(L"CreateView", std::wstring(L"<v><parentViewPtr>") + handle +
                                                         L"</parentViewPtr></v>");
        deliver(create);
    }

    ~Bench() {
        if (window_) DestroyWindow(window_);
    }

    void run() {
        std::printf("%-44s %12s %12s %8s %8s %8s %8s\n", "operation (microseconds)", "ours",
                    "floor", "ratio", "target", "spread", "floor sp");
        messageRow();
        contentRow(L"ContentForHTML, 1 KB", 1024, reps());
        contentRow(L"ContentForHTML, 1 MB", 1024 * 1024, options_.smoke ? 2 : 25);
        callbackRow();
        fontRow();
        spinnerRow();
        memoryRow();
        finalize(L"bench");
    }

private:
    int reps() const { return options_.smoke ? 20 : options_.repetitions; }

    MessageRecord record(const std::wstring& name, const std::wstring& data) {
        name_ = name;
        data_ = data;
        return {1, L"Applet", L"HalvetPanel_UI", L"1.0", L"1", L"Core", L"1.0", L"1",
                name_.c_str(), data_.c_str(), 0, 1, 0, 0};
    }

    static void deliver(MessageRecord& request) {
        ReplyReleaseFunction release = nullptr;
        const wchar_t* reply = processMessage(&request, &release);
        if (release) release(const_cast<wchar_t*>(reply));
    }

    void messageRow() {
        MessageRecord request = record(L"proxyCredentialsUpdated", std::wstring(50, L'x'));
        auto [ours, floor] = measurePair([&] { deliver(request); },
                                         [&] {
                                             const wchar_t* fields[] = {
                                                 request.targetType, request.targetAppletID,
                                                 request.targetAppletVersion, request.targetInstanceID,
                                                 request.sourceAppletID, request.sourceAppletVersion,
                                                 request.sourceInstanceID, request.messageName,
                                                 request.messageData};
                                             std::vector<std::wstring> copies;
                                             copies.reserve(9);
                                             for (const wchar_t* f : fields) copies.emplace_back(f);
                                         },
                                         reps(), 50, 20);
        printRow({"processMessage, handled name, 100 bytes", ours, floor, 1.5});
    }

    void contentRow(const wchar_t* label, size_t bytes, int repetitions) {
        const std::wstring data = xmlOfSize(bytes);
        MessageRecord request = record(L"ContentForHTML", data);
        auto [ours, floor] = measurePair([&] { deliver(request); },
                                         [&] { loadAndSerialise(data); }, repetitions, 2);
        char name[64];
        std::snprintf(name, sizeof name, "%ls", label);
        printRow({name, ours, floor, 1.5});
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
        auto [ours, floor] = measurePair(
            [&] { deliver(request); },
            [&] { halvet::writeFileBytes(floorPath, bytes); },
            options_.smoke ? 5 : 200, 3);
        DeleteFileW(floorPath.c_str());
        panel.deleteFontFile();
        printRow({"ProcessFonts, " + std::to_string(bytes.size() / 1024) + " KB file", ours,
                  floor, 1.3});
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
    // next to what a frame cannot do without: the picture turned into an
    // off-screen surface by the image library and one copy to the window.
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

    void spinnerFrames(HWND spinner) {
        // As the host's message loop delivers a frame: the tick, then
        // whatever painting it asked for.
        auto frame = [&] {
            ::SendMessageW(spinner, WM_TIMER, CStaticImageCtrl::kTimerId, 0);
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        };

        auto gdiplus = halvet::sharedGdiplusSession();
        auto ring = halvet::loadPngResource(halvet::thisModule(), IDB_SPINNER_NORMAL);
        if (!ring) return;
        const int w = static_cast<int>(ring->GetWidth());
        const int h = static_cast<int>(ring->GetHeight());
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
                graphics.DrawImage(ring.get(), Gdiplus::RectF(-w / 2.0f, -h / 2.0f, float(w), float(h)),
                                   0, 0, float(w), float(h), Gdiplus::UnitPixel);
            }
            ::BitBlt(screen, 0, 0, w, h, memory, 0, 0, SRCCOPY);
        };
        auto [ours, floor] = measurePair(frame, bare, options_.smoke ? 20 : 1000, 20);
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        ::ReleaseDC(spinner, screen);
        printRow({"spinner frame: tick, invalidate, paint, 37x37", ours, floor, 1.5});
        paintCycleRow(spinner, floor);
    }

    // What one window paint costs by itself here: an invalidate and a
    // WM_PAINT whose handler only begins and ends the paint. Every frame of
    // a window pays it; the bare draw above does not.
    static LRESULT CALLBACK emptyPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_PAINT) {
            PAINTSTRUCT paint;
            ::BeginPaint(window, &paint);
            ::EndPaint(window, &paint);
            return 0;
        }
        if (message == WM_ERASEBKGND) return 1;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    void paintCycleRow(HWND beside, const Timing& floor) {
        WNDCLASSW type{};
        type.lpfnWndProc = emptyPaint;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"HalvetBenchEmptyPaint";
        RegisterClassW(&type);
        HWND window = CreateWindowExW(0, type.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 37, 37,
                                      ::GetParent(beside), nullptr, type.hInstance, nullptr);
        auto cycle = [&] {
            ::InvalidateRect(window, nullptr, TRUE);
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        };
        const Timing empty = measure(cycle, options_.smoke ? 20 : 1000, 20);
        ::DestroyWindow(window);
        std::printf("%-44s %12.2f %12s %8.2f   (the platform's own cost of any window frame,\n"
                    "%-44s %12s %12s %8s    as a share of the bare draw above)\n",
                    "  reference: empty invalidate + WM_PAINT", empty.median, "",
                    floor.median > 0 ? empty.median / floor.median : 0, "", "", "", "");
    }

    // Committed private memory, region by region: the process memory
    // counters' private usage reads 0 under Wine.
    static SIZE_T privateBytes() {
        SIZE_T bytes = 0;
        MEMORY_BASIC_INFORMATION region{};
        for (const BYTE* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
             at = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize) {
            if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
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
        const long long growth = static_cast<long long>(privateBytes()) - static_cast<long long>(before);
        std::printf("%-44s %12lld bytes after %d messages and %d relays (target 0)  %s\n",
                    "private bytes growth", growth, count, count, growth <= 0 ? "met" : "MISSED");
    }

    Options options_;
    HostContext host_{};
    std::wstring name_, data_;
    HWND window_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--smoke") options.smoke = true;
        if (std::string(argv[i]) == "--reps" && i + 1 < argc) options.repetitions = std::atoi(argv[++i]);
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Bench bench(options);
        bench.run();
    }
    CoUninitialize();
    return 0;
}
