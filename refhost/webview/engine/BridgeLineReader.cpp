#include "webview/engine/BridgeLineReader.h"

#include <cstring>

namespace refhost {

size_t BridgeLineReader::take(const char* bytes, size_t size, std::vector<std::string>& lines) {
    size_t dropped = 0;
    size_t at = 0;
    while (at < size) {
        const void* found = std::memchr(bytes + at, '\n', size - at);
        size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - bytes) : size;
        if (!skipping_) {
            if (partial_.size() + (end - at) > limit_) {
                skipping_ = true;
                partial_.clear();
                partial_.shrink_to_fit();
                ++dropped;
            } else {
                partial_.append(bytes + at, end - at);
            }
        }
        if (!found) break;
        if (!skipping_) lines.push_back(std::move(partial_));
        partial_.clear();
        skipping_ = false;
        at = end + 1;
    }
    return dropped;
}

}  // namespace refhost
