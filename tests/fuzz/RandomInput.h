#pragma once
// Seeded random texts for the fuzz host: XML documents, their mutations, error
// events and plain noise. Everything derives from one seed, so a run is
// repeated exactly by giving its seed again.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace halvet::fuzz {

class RandomInput {
public:
    explicit RandomInput(uint32_t seed) : engine_(seed) {}

    int below(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(engine_); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[below(static_cast<int>(items.size()))];
    }

    // A name of the given table, or a near miss of one, or noise.
    std::wstring messageName(const std::vector<std::wstring>& known);
    // Event names the container uses, error names among them, and noise.
    std::wstring eventName();
    // Any of: a document, a mutated one, an error event, deep nesting, plain
    // text, random code units, empty, huge.
    std::wstring payload();
    std::wstring document(int depth = 0);
    std::wstring errorEvent();
    std::wstring mutate(std::wstring text);
    std::wstring noise(int maxLength);
    // Nesting deep enough that no parser here takes it (never near its limit,
    // where "well-formed" would depend on the parser).
    std::wstring deepDocument();

private:
    std::wstring word();
    std::mt19937 engine_;
};

}  // namespace halvet::fuzz
