#pragma once

#include "platform/Event.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace platform::desktop {

// A pointer event over a panel surface, in surface coordinates.
struct PointerEvent {
    enum class Kind { Enter, Leave, Motion, Press, Release, Scroll };
    Kind kind = Kind::Motion;
    double x = 0, y = 0;
    int button = 0;          // 1 left, 2 middle, 3 right (press and release)
    double scrollDelta = 0;  // vertical scroll steps, positive down
};

// Where the switcher panel's pixels go when the display system gives no
// toolkit window for it (a Wayland overlay layer): a surface the panel draws
// into itself, with the keyboard and pointer input that arrives on it. Main
// thread only.
class PanelSurface {
public:
    struct Input {
        std::function<void(const Event&)> key;            // key down/up and modifier changes
        std::function<void(const PointerEvent&)> pointer;
        std::function<void(bool)> keyboardFocus;          // the keyboard came (true) or went
        std::function<void()> frameNeeded;                // mapped or resized: draw now
        std::function<void()> closed;                     // the compositor took the surface away
        // A held key repeats: call repeatKey() after `delay` ms, then every
        // `interval` ms, until repeatStopped.
        std::function<void(int delay, int interval)> repeatStarted;
        std::function<void()> repeatStopped;
    };
    // ARGB32 premultiplied pixels (the byte order of QImage's
    // Format_ARGB32_Premultiplied) of `width` x `height` buffer pixels,
    // `scale` buffer pixels per surface pixel.
    struct Pixels {
        std::uint32_t* data = nullptr;
        int width = 0, height = 0, stride = 0, scale = 1;
    };
    // A rectangle of the compositor's layout, in logical pixels.
    struct Area {
        int x = 0, y = 0, width = 0, height = 0;
    };

    virtual ~PanelSurface() = default;
    virtual void setInput(Input input) = 0;
    // Shows the surface at this size (surface pixels), centred on the output
    // the compositor chooses, taking the keyboard when asked. `place` puts
    // its top-left corner at that point of the layout instead, on the output
    // that holds the surface's centre (centred as before when none does).
    virtual void map(int width, int height, bool takeKeyboard,
                     std::optional<std::pair<int, int>> place = std::nullopt) = 0;
    // The outputs of the layout, as far as the compositor told them.
    virtual std::vector<Area> outputs() const = 0;
    // Where the mapped surface lies in the layout, once that is known.
    virtual std::optional<Area> frame() const = 0;
    // Moves the mapped surface's top-left corner to this point of the
    // layout, kept on the output it is on.
    virtual void moveTo(int x, int y) = 0;
    virtual void unmap() = 0;
    virtual bool mapped() const = 0;
    virtual void setTakesKeyboard(bool value) = 0;
    virtual bool takesKeyboard() const = 0;
    virtual bool hasKeyboard() const = 0;
    virtual void resize(int width, int height) = 0;
    // The next time the keyboard comes, the modifiers held then are reported
    // as a change: the hot key that showed the panel may be let go already
    // (a quick tap). Otherwise they only set where changes count from.
    virtual void reportModifiersAtNextEnter() = 0;
    // The held key once more, marked as a repeat.
    virtual void repeatKey() = 0;
    // A buffer free to draw the next frame into; nothing while both are
    // with the compositor or the surface is not configured yet.
    virtual std::optional<Pixels> beginFrame() = 0;
    // Sends the drawn buffer; the whole surface counts as damaged.
    virtual void endFrame() = 0;
};

} // namespace platform::desktop
