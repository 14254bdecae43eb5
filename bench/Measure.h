#pragma once
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

// Times one operation with QueryPerformanceCounter: warm-up runs first, then
// repetitions, each timed on its own. Median and spread (the distance between
// the 10th and 90th percentile, relative to the median) in microseconds.
struct Timing {
    double median = 0;
    double spread = 0;
};

inline double nowMicroseconds() {
    static const double perMicrosecond = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMicrosecond;
}

// Median and spread of samples (reordered).
inline Timing summarise(std::vector<double>& samples) {
    Timing t;
    if (samples.empty()) return t;
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[static_cast<size_t>(q * (samples.size() - 1))]; };
    t.median = at(0.5);
    t.spread = t.median > 0 ? (at(0.9) - at(0.1)) / t.median : 0;
    return t;
}

// `untimed`, when given, runs after every timed operation outside the clock
// (to undo what the operation made, so that each repetition starts alike).
inline Timing measure(const std::function<void()>& operation, int repetitions, int warmup,
                      int batch = 1, const std::function<void()>& untimed = {}) {
    for (int i = 0; i < warmup; ++i) {
        operation();
        if (untimed) untimed();
    }
    std::vector<double> samples;
    samples.reserve(repetitions);
    for (int r = 0; r < repetitions; ++r) {
        const double start = nowMicroseconds();
        for (int b = 0; b < batch; ++b) operation();
        samples.push_back((nowMicroseconds() - start) / batch);
        if (untimed) untimed();
    }
    return summarise(samples);
}

// Ours and the floor by turns, one repetition each, the first of a pair
// alternating: for operations of milliseconds, whose cost drifts with the
// machine between rounds of measurePair, each sample of ours has one of the
// floor taken next to it. `undoOurs` and `undoFloor` run untimed after each.
inline std::pair<Timing, Timing> measureAlternating(const std::function<void()>& ours,
                                                    const std::function<void()>& floor,
                                                    int repetitions, int warmup,
                                                    const std::function<void()>& undoOurs,
                                                    const std::function<void()>& undoFloor) {
    auto once = [](const std::function<void()>& operation, const std::function<void()>& undo) {
        const double start = nowMicroseconds();
        operation();
        const double elapsed = nowMicroseconds() - start;
        undo();
        return elapsed;
    };
    for (int i = 0; i < warmup; ++i) {
        once(ours, undoOurs);
        once(floor, undoFloor);
    }
    std::vector<double> oursSamples, floorSamples;
    for (int r = 0; r < repetitions; ++r) {
        if (r % 2 == 0) {
            oursSamples.push_back(once(ours, undoOurs));
            floorSamples.push_back(once(floor, undoFloor));
        } else {
            floorSamples.push_back(once(floor, undoFloor));
            oursSamples.push_back(once(ours, undoOurs));
        }
    }
    return {summarise(oursSamples), summarise(floorSamples)};
}

// Measures ours and the floor interleaved, in rounds, so that both see the same
// machine load; the medians of the rounds are compared.
// `undoOurs` and `undoFloor` run untimed after each repetition of their side.
inline std::pair<Timing, Timing> measurePair(const std::function<void()>& ours,
                                             const std::function<void()>& floor, int repetitions,
                                             int warmup, int batch = 1,
                                             const std::function<void()>& undoOurs = {},
                                             const std::function<void()>& undoFloor = {}) {
    const int rounds = 5;
    std::vector<double> oursMedians, floorMedians, oursSpread, floorSpread;
    for (int r = 0; r < rounds; ++r) {
        Timing a =
            measure(ours, std::max(1, repetitions / rounds), r == 0 ? warmup : 1, batch, undoOurs);
        Timing b = measure(floor, std::max(1, repetitions / rounds), r == 0 ? warmup : 1, batch,
                           undoFloor);
        oursMedians.push_back(a.median);
        floorMedians.push_back(b.median);
        oursSpread.push_back(a.spread);
        floorSpread.push_back(b.spread);
    }
    auto mid = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return {{mid(oursMedians), mid(oursSpread)}, {mid(floorMedians), mid(floorSpread)}};
}
