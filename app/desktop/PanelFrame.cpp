#include "app/desktop/PanelFrame.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace app::desktop {

namespace {
constexpr char kTag[4] = {'R', 'E', 'C', 'T'};
constexpr std::size_t kSize = sizeof kTag + 4 * sizeof(double);

void putDouble(platform::Value::Data& out, double value) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i))); // little endian
}

double getDouble(const std::uint8_t* in) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t(in[i]) << (8 * i);
    return std::bit_cast<double>(bits);
}
} // namespace

platform::Value::Data encodePanelFrame(const Rect& frame) {
    platform::Value::Data data(kTag, kTag + sizeof kTag);
    for (double v : {frame.x, frame.y, frame.width, frame.height}) putDouble(data, v);
    return data;
}

std::optional<Rect> decodePanelFrame(const platform::Value::Data& data) {
    if (data.size() != kSize || std::memcmp(data.data(), kTag, sizeof kTag) != 0) return std::nullopt;
    const std::uint8_t* p = data.data() + sizeof kTag;
    Rect r{getDouble(p), getDouble(p + 8), getDouble(p + 16), getDouble(p + 24)};
    for (double v : {r.x, r.y, r.width, r.height})
        if (!std::isfinite(v)) return std::nullopt;
    if (r.width <= 0 || r.height <= 0) return std::nullopt;
    return r;
}

Rect fitInto(const Rect& frame, const Rect& area) {
    Rect r = frame;
    r.width = std::min(r.width, area.width);
    r.height = std::min(r.height, area.height);
    r.x = std::clamp(r.x, area.x, area.x + area.width - r.width);
    r.y = std::clamp(r.y, area.y, area.y + area.height - r.height);
    return r;
}

std::optional<Rect> placeSavedFrame(const Rect& saved, const std::vector<Rect>& screens) {
    const double cx = saved.x + saved.width / 2, cy = saved.y + saved.height / 2;
    for (const Rect& area : screens)
        if (cx >= area.x && cx < area.x + area.width && cy >= area.y && cy < area.y + area.height)
            return fitInto(saved, area);
    return std::nullopt;
}

} // namespace app::desktop
