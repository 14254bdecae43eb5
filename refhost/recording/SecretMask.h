#pragma once
#include <set>
#include <string>

namespace refhost {

struct TraceEntry;

// The secrets of a run (proxy passwords) and how to keep them out of what
// the run writes down: every place a secret stands, as it is or as XML
// writes it, becomes "******". The trace in memory keeps the real data, so
// that expectations judge what really happened.
class SecretMask {
public:
    static constexpr const wchar_t* kMask = L"******";

    void add(const std::wstring& secret);
    // Learns the text of every element of xml whose name ends in "password"
    // (any case): how the panel and the container hand credentials on.
    void learnFrom(const std::wstring& xml);
    bool empty() const { return variants_.empty(); }

    void apply(std::wstring& text) const;
    // A copy of entry with every text field masked.
    TraceEntry masked(const TraceEntry& entry) const;

private:
    // Longest first, so that a secret inside a longer one is not left half
    // shown.
    struct LongerFirst {
        bool operator()(const std::wstring& a, const std::wstring& b) const {
            return a.size() != b.size() ? a.size() > b.size() : a < b;
        }
    };
    std::set<std::wstring, LongerFirst> variants_;
};

}  // namespace refhost
