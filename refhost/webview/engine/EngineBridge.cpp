#include <winsock2.h>

#include "webview/engine/EngineBridge.h"

#include <bcrypt.h>

#include "webview/engine/BridgeLine.h"
#include "webview/engine/BridgeProtocol.h"
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

// The time a connection has to prove the secret with its first line.
constexpr DWORD kHelloMs = 3000;
// A first line longer than this proves nothing.
constexpr size_t kHelloLimit = 1024;

// 128 random bits from the system's generator, in hex; empty when it fails.
std::wstring randomSecret() {
    unsigned char bytes[16];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes,
                                        BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return L"";
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring out;
    for (unsigned char b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

// Compares in a time that does not tell where the first difference lies.
bool sameSecret(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size() || a.empty()) return false;
    unsigned diff = 0;
    for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned>(a[i] ^ b[i]);
    return diff == 0;
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
        send(BridgeProtocol::command(L"quit", L"", 0));
        Fields ignored;
        std::wstring error;
        request({}, L"\x1f", 3000, ignored, error);
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
        ::listen(listener_.get(), 4) != 0 ||
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
                           quoteArgument(settings.engine) + L" --temp " +
                           quoteArgument(settings.temp) + driveTable();
    secret_ = randomSecret();
    if (secret_.empty()) {
        error = L"cannot make a secret for the bridge: " + text::systemMessage(GetLastError());
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = reinterpret_cast<HANDLE>(theirs.get());
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    // The child takes a copy of this environment; the secret stays in it
    // only for the call.
    SetEnvironmentVariableW(secretVariable(), secret_.c_str());
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &info);
    DWORD failure = GetLastError();
    SetEnvironmentVariableW(secretVariable(), nullptr);
    if (!started) {
        SetLastError(failure);
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
        UniqueHandle<uintptr_t, SocketCloser> candidate(s);
        DWORD elapsed = GetTickCount() - start;
        DWORD left = elapsed < ms ? ms - elapsed : 0;
        if (proves(s, left < kHelloMs ? left : kHelloMs)) {
            connection_ = std::move(candidate);
            break;
        }
        // Not the bridge this program started: dropped, and the wait goes on.
        ++intruders_;
    }
    listener_.reset();
    lifeline_.reset();
    SOCKET s = connection_.get();
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
    if (!request({}, L"ready", settings.startMs, reply, error)) return false;
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

bool EngineBridge::proves(uintptr_t s, DWORD ms) {
    reader_ = BridgeLineReader(kHelloLimit);
    std::vector<std::string> raw;
    DWORD start = GetTickCount();
    while (raw.empty()) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms || receive(s, ms - elapsed, raw) != Received::Data) return false;
    }
    Fields hello = BridgeLine::decode(raw.front());
    if (BridgeProtocol::field(hello, BridgeProtocol::kVerb) != L"hello" ||
        !sameSecret(BridgeProtocol::field(hello, BridgeProtocol::Hello::kSecret), secret_))
        return false;
    reader_ = BridgeLineReader();
    // What came with it is the bridge's too.
    for (size_t i = 1; i < raw.size(); ++i) queue(raw[i]);
    return true;
}

EngineBridge::Received EngineBridge::receive(uintptr_t s, DWORD ms, std::vector<std::string>& raw) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return Received::Nothing;
    char chunk[65536];
    int n = recv(s, chunk, sizeof chunk, 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return Received::Nothing;
    if (n <= 0) return Received::Ended;
    if (reader_.take(chunk, static_cast<size_t>(n), raw) && observer_)
        observer_(false, {L"(a line longer than the limit was dropped)"});
    return Received::Data;
}

void EngineBridge::queue(const std::string& raw) {
    Fields fields = BridgeLine::decode(raw);
    if (observer_) observer_(false, fields);
    lines_.push_back(std::move(fields));
}

bool EngineBridge::readSome(DWORD ms) {
    if (!alive()) return false;
    std::vector<std::string> raw;
    bool got = false;
    for (;;) {
        Received r = receive(connection_.get(), got ? 0 : ms, raw);
        if (r == Received::Data) {
            got = true;
            continue;
        }
        if (r == Received::Ended) markGone();
        break;
    }
    for (const std::string& line : raw) queue(line);
    return got;
}

bool EngineBridge::request(const Fields& fields, const std::wstring& verb, DWORD ms, Fields& reply,
                           std::wstring& error) {
    using P = BridgeProtocol;
    if (!fields.empty() && !send(fields)) {
        error = L"the bridge has gone";
        return false;
    }
    const std::wstring& view = P::field(fields, P::kView);
    const std::wstring& number = P::field(fields, P::kRequest);
    auto aboutThis = [&](const Fields& line) {
        return fields.empty() || (P::field(line, P::kView) == view && P::field(line, P::kRequest) == number);
    };
    DWORD start = GetTickCount();
    size_t seen = 0;
    for (;;) {
        for (; seen < lines_.size(); ++seen) {
            const Fields& line = lines_[seen];
            const std::wstring& lineVerb = P::field(line, P::kVerb);
            const std::wstring& command = P::field(line, P::Error::kCommand);
            bool matches = lineVerb == verb && aboutThis(line);
            bool failed = lineVerb == L"error" &&
                          (aboutThis(line) || command == L"start" || command == L"engine" ||
                           command == L"bridge");
            if (matches || failed) {
                reply = line;
                lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(seen));
                schedule();
                // line went with the erase above; reply holds its copy.
                if (failed) {
                    error = P::field(reply, P::Error::kText);
                    if (error.empty()) error = L"the bridge failed";
                }
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
