#pragma once
#include <string>

// What a handler answers. A fixed answer points at a text with static lifetime
// ("Success", "Failure", "true") and goes back to the host as is; a computed
// answer is handed over as an owned copy. A fresh reply is empty, which the
// host receives as the empty text.
struct HandlerReply {
    std::wstring text;
    const wchar_t* staticText = nullptr;

    static HandlerReply fixed(const wchar_t* staticText) {
        HandlerReply reply;
        reply.staticText = staticText;
        return reply;
    }
    static HandlerReply computed(std::wstring text) {
        HandlerReply reply;
        reply.text = std::move(text);
        return reply;
    }
};
