#include "webview/engine/BridgeProtocol.h"

namespace refhost {

const std::vector<BridgeProtocol::Name>& BridgeProtocol::names() {
    using P = BridgeProtocol;
    static const std::vector<Name> all = [] {
        std::vector<Name> out = {
            {"hello", "secret", P::Hello::kSecret},
            {"ready", "version", P::Ready::kVersion},
            {"ready", "proxy-port", P::Ready::kProxyPort},
            {"ready", "network-part", P::Ready::kNetworkPart},
            {"open", "width", P::Size::kWidth},
            {"open", "height", P::Size::kHeight},
            {"resize", "width", P::Size::kWidth},
            {"resize", "height", P::Size::kHeight},
            {"load", "url", P::Load::kUrl},
            {"loaded", "url", P::Load::kUrl},
            {"failed", "url", P::Failed::kUrl},
            {"failed", "code", P::Failed::kCode},
            {"failed", "name", P::Failed::kName},
            {"failed", "reason", P::Failed::kReason},
            {"failed", "message", P::Failed::kMessage},
            {"failed", "failing-url", P::Failed::kFailingUrl},
            {"frame", "png", P::Frame::kPng},
            {"frame", "why", P::Frame::kWhy},
            {"content", "data", P::Content::kData},
            {"delivered", "why", P::Delivered::kWhy},
            {"message", "name", P::Message::kName},
            {"message", "payload", P::Message::kPayload},
            {"note", "text", P::Note::kText},
            {"network", "mode", P::Network::kMode},
            {"network", "user", P::Network::kUser},
            {"network", "password", P::Network::kPassword},
            {"credentials", "user", P::Credentials::kUser},
            {"credentials", "password", P::Credentials::kPassword},
            {"error", "command", P::Error::kCommand},
            {"error", "text", P::Error::kText},
            {"proxy", "what", P::Proxy::kWhat},
            {"proxy", "target", P::Proxy::kTarget},
            {"proxy", "user", P::Proxy::kUser},
        };
        // Every line about a view, or about none, names it and the request.
        for (const char* verb : {"open", "opened", "load", "loaded", "failed", "resize", "frame",
                                 "content", "delivered", "close", "closed", "crash", "crashed",
                                 "message", "note", "network", "credentials", "kill-browser",
                                 "die", "quit", "error"}) {
            out.push_back({verb, "view", kView});
            out.push_back({verb, "request", kRequest});
        }
        return out;
    }();
    return all;
}

std::vector<std::wstring> BridgeProtocol::command(const std::wstring& verb, const std::wstring& view,
                                                  unsigned request,
                                                  std::vector<std::wstring> fields) {
    fields.insert(fields.begin(), {verb, view, std::to_wstring(request)});
    return fields;
}

const std::wstring& BridgeProtocol::field(const std::vector<std::wstring>& line, size_t position) {
    static const std::wstring empty;
    return position < line.size() ? line[position] : empty;
}

}  // namespace refhost
