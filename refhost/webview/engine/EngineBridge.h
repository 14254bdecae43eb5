#pragma once
#include <windows.h>

#include <cstdint>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/UniqueHandle.h"

namespace refhost {

// Sockets are kept as numbers here, so that this header needs no Winsock one
// (which must come before <windows.h> wherever it is included).
struct SocketCloser {
    void operator()(uintptr_t s) const;
};

// The connection to the engine bridge, a Linux program beside Wine that
// drives the headless browser. This side listens on 127.0.0.1, starts the
// bridge with the port, and takes its one connection; lines then go both
// ways (see BridgeLine). Lines that arrive unasked are handed, from the
// message loop, to the receiver. When this object goes, the connection
// closes, and the bridge takes that as its sign to close the browser and
// end: also when this program is killed, since the system closes the socket.
class EngineBridge {
public:
    using Fields = std::vector<std::wstring>;

    struct Settings {
        std::wstring node;    // Unix path of the Node.js program
        std::wstring script;  // Unix path of bridge.js
        std::wstring engine;  // Unix path of the browser
        DWORD startMs = 45000;
    };

    EngineBridge();
    EngineBridge(const EngineBridge&) = delete;
    EngineBridge& operator=(const EngineBridge&) = delete;
    ~EngineBridge();

    // Starts the bridge and waits for its "ready" line (fields in ready).
    bool start(const Settings& settings, Fields& ready, std::wstring& error);
    bool alive() const { return static_cast<bool>(connection_) && !gone_; }

    // What arrives unasked, and every line both ways for the trace.
    void onLine(std::function<void(const Fields&)> receiver) { receiver_ = std::move(receiver); }
    void onExchange(std::function<void(bool outgoing, const Fields&)> observer) {
        observer_ = std::move(observer);
    }

    bool send(const Fields& fields);
    // A line {"gone"} reaches the receiver once when the connection ends.
    // Sends and waits up to ms for the line whose first fields are verb and
    // (when not empty) view; other lines wait for the message loop.
    bool request(const Fields& fields, const std::wstring& verb, const std::wstring& view, DWORD ms,
                 Fields& reply, std::wstring& error);

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM w, LPARAM l);
    bool makeWindow();
    bool listen(USHORT& port, std::wstring& error);
    bool launch(const Settings& settings, USHORT port, std::wstring& error);
    // A connected pair through the listener: lifeline_ here, theirs for the
    // bridge's standard input.
    bool makeLifeline(UniqueHandle<uintptr_t, SocketCloser>& theirs, std::wstring& error);
    bool accept(DWORD ms, std::wstring& error);
    // Reads what is there (waiting up to ms for the first byte) into lines_.
    bool readSome(DWORD ms);
    void deliverPending();
    void schedule();
    void markGone();

    UniqueHandle<uintptr_t, SocketCloser> listener_;
    UniqueHandle<uintptr_t, SocketCloser> connection_;
    UniqueHandle<uintptr_t, SocketCloser> lifeline_;  // until the bridge connects
    UniqueWindow window_;
    bool wsa_ = false;
    bool gone_ = false;
    bool goneAnnounced_ = false;
    std::string buffer_;
    std::deque<Fields> lines_;
    std::function<void(const Fields&)> receiver_;
    std::function<void(bool, const Fields&)> observer_;
};

}  // namespace refhost
