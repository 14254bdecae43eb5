#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "framework/CBitmap.h"
#include "framework/CDC.h"

// What every frame of a spinner depends on besides its angle: the size of the
// control and the colour under the picture (none: the parent's copy). The
// picture and the parent's copy themselves are not compared; their owner
// drops the frames when it replaces either.
struct SpinnerFrameLook {
    int width = 0;
    int height = 0;
    std::optional<COLORREF> background;

    bool operator==(const SpinnerFrameLook& other) const {
        return width == other.width && height == other.height && background == other.background;
    }
    bool operator!=(const SpinnerFrameLook& other) const { return !(*this == other); }
};

// The spinner's composed frames, one per angle, kept so that a tick costs one
// copy to the screen instead of a rotated draw. Bounded both in frames and in
// bytes: with the usual step of 30 degrees there are twelve (37 x 37: 66 KB,
// 74 x 74: 263 KB at four bytes a pixel); an unusual step fills it up to the
// bound, after which further angles are drawn afresh each time and nothing
// more is kept. Frames at angles already held are never replaced, so a full
// cache still serves its angles on every turn.
class SpinnerFrameCache {
public:
    static constexpr size_t kMaxFrames = 24;
    static constexpr size_t kMaxBytes = 1024 * 1024;

    SpinnerFrameCache() = default;
    ~SpinnerFrameCache() = default;
    SpinnerFrameCache(const SpinnerFrameCache&) = delete;
    SpinnerFrameCache& operator=(const SpinnerFrameCache&) = delete;

    // Drops every frame.
    void clear();
    // Keeps the frames if they were made for `look`, else drops them; later
    // frames are for `look`.
    void keepOnlyFor(const SpinnerFrameLook& look);

    // Copies the frame of `angle` to `target` at (x, y); false when there is none.
    bool copyTo(CDC& target, int x, int y, float angle);
    // A surface for the frame of `angle`: a context compatible with `target`
    // holding 32-bit pixels of the look's size, for the caller to compose into
    // at (0, 0) and then copy out with copyTo. Null when the cache is full or
    // the surface cannot be made.
    CDC* addFrame(CDC& target, float angle);

    size_t frameCount() const { return frames_.size(); }
    size_t bytes() const { return frames_.size() * frameBytes(); }
    // How many frames this look may keep within both bounds.
    size_t capacity() const;

private:
    // One frame: its bitmap stays selected into its own context, so a tick
    // selects nothing (under Wine a selection costs as much as the copy).
    class Frame {
    public:
        explicit Frame(float angle) : angle_(angle) {}
        ~Frame();
        Frame(const Frame&) = delete;
        Frame& operator=(const Frame&) = delete;

        bool create(CDC& reference, int width, int height);
        float angle() const { return angle_; }
        CDC& surface() { return surface_; }

    private:
        float angle_;
        CDC surface_;
        CBitmap bitmap_;
        HGDIOBJ original_ = nullptr;
    };

    size_t frameBytes() const { return size_t(look_.width) * size_t(look_.height) * 4; }
    Frame* find(float angle);

    SpinnerFrameLook look_;
    std::vector<std::unique_ptr<Frame>> frames_;
};
