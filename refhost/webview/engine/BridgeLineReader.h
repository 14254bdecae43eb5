#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace refhost {

// Cuts what arrives from the engine bridge, in pieces of any size, into
// lines. Each byte is looked at once: a line is kept in pieces until its line
// feed comes. A line longer than the limit is dropped whole, up to its line
// feed, so that a peer gone wrong cannot make this side hold all it sends.
class BridgeLineReader {
public:
    // The longest line taken (bytes, line feed excluded): a frame of a large
    // page is the longest line there is, and stays well below it.
    static constexpr size_t kMaxLine = 32u * 1024u * 1024u;

    explicit BridgeLineReader(size_t limit = kMaxLine) : limit_(limit) {}

    // Appends the whole lines among bytes to lines (without line feeds);
    // returns how many lines were dropped for their length.
    size_t take(const char* bytes, size_t size, std::vector<std::string>& lines);

private:
    std::string partial_;
    bool skipping_ = false;
    size_t limit_;
};

}  // namespace refhost
