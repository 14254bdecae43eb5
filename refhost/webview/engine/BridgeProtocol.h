#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace refhost {

// The positions of the fields in the lines of the engine bridge's protocol
// (refhost/bridge/protocol.txt defines the lines; a test holds these names
// to it). Position 0 is the verb. Every line about a view names the view and
// the request next; lines about no view leave the view empty.
struct BridgeProtocol {
    static constexpr size_t kVerb = 0;
    static constexpr size_t kView = 1;
    static constexpr size_t kRequest = 2;

    struct Hello { static constexpr size_t kSecret = 1; };
    struct Ready {
        static constexpr size_t kVersion = 1;
        static constexpr size_t kProxyPort = 2;
        static constexpr size_t kNetworkPart = 3;
    };
    // open, resize
    struct Size {
        static constexpr size_t kWidth = 3;
        static constexpr size_t kHeight = 4;
    };
    // load, loaded
    struct Load { static constexpr size_t kUrl = 3; };
    struct Failed {
        static constexpr size_t kUrl = 3;
        static constexpr size_t kCode = 4;
        static constexpr size_t kName = 5;
        static constexpr size_t kReason = 6;
        static constexpr size_t kMessage = 7;
        static constexpr size_t kFailingUrl = 8;
    };
    struct Frame {
        static constexpr size_t kPng = 3;
        static constexpr size_t kWhy = 4;
    };
    struct Content { static constexpr size_t kData = 3; };
    struct Delivered { static constexpr size_t kWhy = 3; };
    struct Message {
        static constexpr size_t kName = 3;
        static constexpr size_t kPayload = 4;
    };
    struct Note { static constexpr size_t kText = 3; };
    struct Network {
        static constexpr size_t kMode = 3;
        static constexpr size_t kUser = 4;
        static constexpr size_t kPassword = 5;
    };
    struct Credentials {
        static constexpr size_t kUser = 3;
        static constexpr size_t kPassword = 4;
    };
    struct Error {
        static constexpr size_t kCommand = 3;
        static constexpr size_t kText = 4;
    };
    struct Proxy {
        static constexpr size_t kWhat = 1;
        static constexpr size_t kTarget = 2;
        static constexpr size_t kUser = 3;
    };

    // Every named position above, as protocol.txt names it: the verb, the
    // field's name there, and its position.
    struct Name {
        const char* verb;
        const char* field;
        size_t position;
    };
    static const std::vector<Name>& names();

    // A command to the bridge: verb, the view (empty: none), the request's
    // number, then the command's own fields in order.
    static std::vector<std::wstring> command(const std::wstring& verb, const std::wstring& view,
                                             unsigned request,
                                             std::vector<std::wstring> fields = {});
    // The field at position, or an empty one when the line is shorter.
    static const std::wstring& field(const std::vector<std::wstring>& line, size_t position);
};

}  // namespace refhost
