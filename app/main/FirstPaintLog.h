#pragma once

#include <cstddef>
#include <deque>

namespace app::desktop {

// The show-to-first-paint times the debug state reports. Kept only when
// someone reads them (a debug state file is asked for), and then only the
// most recent ones, so a long-running Zelvo does not grow with every showing.
class FirstPaintLog {
public:
    static constexpr std::size_t kKept = 1000;

    explicit FirstPaintLog(bool keep) : keep_(keep) {}
    // False when the time was not kept.
    bool record(double milliseconds) {
        if (!keep_) return false;
        if (times_.size() == kKept) times_.pop_front();
        times_.push_back(milliseconds);
        return true;
    }
    const std::deque<double>& times() const { return times_; }

private:
    bool keep_;
    std::deque<double> times_;
};

} // namespace app::desktop
