#include <winsock2.h>

#include "webview/engine/EngineBridge.h"

#include "webview/engine/BridgeLine.h"
#include "webview/engine/BridgePackages.h"
#include "platform/CommandLine.h"
#include "platform/Text.h"
#include "platform/WinePath.h"

namespace refhost {

namespace {

const wchar_t kClass[] = L"RefHostEngineBridge";
constexpr UINT kLinesWaiting = WM_APP + 61;
constexpr UINT kSocketEvent = WM_APP + 62;

// The Unix folder each drive letter of this Wine prefix stands for, as
// "--drive c=/..." arguments for the bridge.
std::wstring driveTable() {
    std::wstring out;
    for (const auto& [letter, folder] : winepath::driveRoots())
        out += L" --drive " + quoteArgument(std::wstring(1, letter) + L"=" + folder);
    return out;
}

}  // namespace

void SocketCloser::operator()(uintptr_t s) const { closesocket(static_cast<SOCKET>(s)); }

EngineBridge::EngineBridge() {
    WSADATA data;
    wsa_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

EngineBridge::~EngineBridge() {
    if (alive()) {
        // Asked to end; the socket closing below is the sign it cannot miss.
        send({L"quit"});
        Fields ignored;
        std::wstring error;
        request({}, L"\x1f", L"", 3000, ignored, error);
    }
    connection_.reset();
    listener_.reset();
    if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    window_.reset();
    if (wsa_) WSACleanup();
}

bool EngineBridge::makeWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = &EngineBridge::proc;
        c.hInstance = GetModuleHandleW(nullptr);
        c.lpszClassName = kClass;
        registered = RegisterClassExW(&c) != 0;
    }
    window_.reset(CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr));
    if (!window_) return false;
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

LRESULT CALLBACK EngineBridge::proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    try {
        auto* self = reinterpret_cast<EngineBridge*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && (message == kLinesWaiting || message == kSocketEvent)) {
            if (message == kSocketEvent) self->readSome(0);
            self->deliverPending();
            return 0;
        }
    } catch (...) {
        // Nothing may unwind through user32.
    }
    return DefWindowProcW(window, message, w, l);
}

bool EngineBridge::listen(USHORT& port, std::wstring& error) {
    listener_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener_ || listener_.get() == INVALID_SOCKET) {
        listener_.release();
        error = L"cannot make a socket (" + std::to_wstring(WSAGetLastError()) + L")";
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // 127.0.0.1 only
    int size = sizeof address;
    if (bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_.get(), 1) != 0 ||
        getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = L"cannot listen on 127.0.0.1 (" + std::to_wstring(WSAGetLastError()) + L")";
        return false;
    }
    port = ntohs(address.sin_port);
    return true;
}

bool EngineBridge::makeLifeline(UniqueHandle<uintptr_t, SocketCloser>& theirs,
                                std::wstring& error) {
    sockaddr_in address{};
    int size = sizeof address;
    if (getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        lifeline_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (lifeline_.get() != INVALID_SOCKET &&
            connect(lifeline_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            theirs.reset(::accept(listener_.get(), nullptr, nullptr));
            if (theirs.get() != INVALID_SOCKET &&
                SetHandleInformation(reinterpret_cast<HANDLE>(theirs.get()), HANDLE_FLAG_INHERIT,
                                     HANDLE_FLAG_INHERIT))
                return true;
        }
    }
    if (lifeline_.get() == INVALID_SOCKET) lifeline_.release();
    if (theirs.get() == INVALID_SOCKET) theirs.release();
    error = L"cannot make the bridge's lifeline (" + std::to_wstring(WSAGetLastError()) + L")";
    return false;
}

bool EngineBridge::launch(const Settings& settings, USHORT port, std::wstring& error) {
    std::wstring node = winepath::dosName(settings.node);
    std::wstring script = winepath::dosName(settings.script);
    if (node.empty() || script.empty()) {
        error = L"cannot name " + settings.node + L" for Windows (not under Wine?)";
        return false;
    }
    if (GetFileAttributesW(node.c_str()) == INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesW(script.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = L"no Node.js at " + settings.node + L", or no bridge at " + settings.script +
                L" (tools/setup.sh installs them)";
        return false;
    }
    if (!BridgePackages::check(script.substr(0, script.find_last_of(L"\\/") + 1), error))
        return false;
    // The bridge's standard input is one end of a connection whose other
    // end this side keeps: when the bridge ends, before it has connected,
    // that end reads as closed. Wine hands out no process handle that could
    // tell, since the bridge is a Linux program.
    UniqueHandle<uintptr_t, SocketCloser> theirs;
    if (!makeLifeline(theirs, error)) return false;
    std::wstring command = quoteArgument(node) + L" " + quoteArgument(settings.script) +
                           L" --port " + std::to_wstring(port) + L" --engine " +
                           quoteArgument(settings.engine) + driveTable();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = reinterpret_cast<HANDLE>(theirs.get());
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        error = L"cannot start " + settings.node + L": " + text::systemMessage(GetLastError());
        return false;
    }
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
    return true;
}

bool EngineBridge::accept(DWORD ms, std::wstring& error) {
    DWORD start = GetTickCount();
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_.get(), &readable);
        FD_SET(lifeline_.get(), &readable);
        timeval slice{0, 250000};
        if (select(0, &readable, nullptr, nullptr, &slice) > 0) {
            if (FD_ISSET(listener_.get(), &readable)) break;
            char ignored;
            if (recv(lifeline_.get(), &ignored, 1, 0) <= 0) {
                error = L"the bridge ended before it connected";
                return false;
            }
        }
        if (GetTickCount() - start >= ms) {
            error = L"the bridge did not connect within " + std::to_wstring(ms / 1000) + L" s";
            return false;
        }
    }
    SOCKET s = ::accept(listener_.get(), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        error = L"accepting the bridge failed (" + std::to_wstring(WSAGetLastError()) + L")";
        return false;
    }
    connection_.reset(s);
    listener_.reset();
    lifeline_.reset();
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return true;
}

bool EngineBridge::start(const Settings& settings, Fields& ready, std::wstring& error) {
    USHORT port = 0;
    if (!wsa_) {
        error = L"Winsock did not start";
        return false;
    }
    if (!makeWindow() || !listen(port, error) || !launch(settings, port, error) ||
        !accept(settings.startMs, error))
        return false;
    // From here on, what comes unasked is announced to the message loop.
    WSAAsyncSelect(connection_.get(), window_.get(), kSocketEvent, FD_READ | FD_CLOSE);
    Fields reply;
    if (!request({}, L"ready", L"", settings.startMs, reply, error)) return false;
    ready = reply;
    return true;
}

bool EngineBridge::send(const Fields& fields) {
    if (!alive()) return false;
    if (observer_) observer_(true, fields);
    std::string line = BridgeLine::encode(fields);
    size_t done = 0;
    while (done < line.size()) {
        int n = ::send(connection_.get(), line.data() + done, static_cast<int>(line.size() - done), 0);
        if (n > 0) {
            done += n;
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(connection_.get(), &writable);
            timeval wait{5, 0};
            if (select(0, nullptr, &writable, nullptr, &wait) != 1) break;
        } else {
            break;
        }
    }
    if (done < line.size()) markGone();
    return !gone_;
}

bool EngineBridge::readSome(DWORD ms) {
    if (!alive()) return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(connection_.get(), &readable);
    timeval wait{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return false;
    char chunk[65536];
    bool got = false;
    for (;;) {
        int n = recv(connection_.get(), chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, n);
            got = true;
            continue;
        }
        if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) markGone();
        break;
    }
    for (size_t at = buffer_.find('\n'); at != std::string::npos; at = buffer_.find('\n')) {
        Fields fields = BridgeLine::decode(buffer_.substr(0, at));
        buffer_.erase(0, at + 1);
        if (observer_) observer_(false, fields);
        lines_.push_back(std::move(fields));
    }
    return got;
}

bool EngineBridge::request(const Fields& fields, const std::wstring& verb, const std::wstring& view,
                           DWORD ms, Fields& reply, std::wstring& error) {
    if (!fields.empty() && !send(fields)) {
        error = L"the bridge has gone";
        return false;
    }
    DWORD start = GetTickCount();
    size_t seen = 0;
    for (;;) {
        for (; seen < lines_.size(); ++seen) {
            const Fields& line = lines_[seen];
            bool matches = !line.empty() && line[0] == verb && (view.empty() || (line.size() > 1 && line[1] == view));
            bool failed = !line.empty() && line[0] == L"error" && line.size() > 1 &&
                          (line[1] == verb || line[1] == L"start" || line[1] == L"engine");
            if (matches || failed) {
                reply = line;
                lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(seen));
                schedule();
                // line went with the erase above; reply holds its copy.
                if (failed) error = reply.size() > 2 ? reply[2] : L"the bridge failed";
                return matches;
            }
        }
        DWORD elapsed = GetTickCount() - start;
        if (!alive() || elapsed >= ms) break;
        readSome(ms - elapsed);
    }
    schedule();
    error = alive() ? L"the bridge did not answer \"" + verb + L"\" within " +
                          std::to_wstring(ms) + L" ms"
                    : L"the bridge has gone";
    return false;
}

void EngineBridge::markGone() {
    gone_ = true;
    if (goneAnnounced_) return;
    goneAnnounced_ = true;
    lines_.push_back({L"gone"});
    schedule();
}

void EngineBridge::schedule() {
    if (!lines_.empty() && window_) PostMessageW(window_.get(), kLinesWaiting, 0, 0);
}

void EngineBridge::deliverPending() {
    // One at a time: a receiver may itself wait for lines.
    while (!lines_.empty()) {
        Fields line = std::move(lines_.front());
        lines_.pop_front();
        if (receiver_) receiver_(line);
    }
}

}  // namespace refhost
