#include "host/HostFunctions.h"

std::wstring HostFunctions::send(AppletMessage& message) const {
    if (!sendFunction) return {};
    ReplyReleaseFunction release = nullptr;
    const wchar_t* reply = sendFunction(message.toRecord(), &release);
    if (!reply) return {};
    std::wstring copy;
    try {
        copy = reply;
    } catch (...) {
        // The host's buffer must be given back even when the copy fails.
        if (release) release(const_cast<wchar_t*>(reply));
        throw;
    }
    if (release) release(const_cast<wchar_t*>(reply));
    return copy;
}
