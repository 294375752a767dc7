#pragma once

#include <filesystem>
#include <functional>
#include <memory>

namespace platform {
class Queue;
}

namespace beacon {

// Tells its handler, on a given queue, that the system runs low on memory
// (warning or critical pressure). Cancelled when destroyed; cancel() may be
// called from any thread and stops every later delivery.
class MemoryPressureSource {
public:
    using Handler = std::function<void()>;
    virtual ~MemoryPressureSource() = default;
    virtual void cancel() = 0;
};

// Makes a source for `handler` on `queue`, or null where the system offers
// none.
using MemoryPressureSourceFactory =
    std::function<std::unique_ptr<MemoryPressureSource>(platform::Queue& queue, MemoryPressureSource::Handler handler)>;

// The kernel's pressure stall information: triggers on
// /proc/pressure/memory for partial stalls (warning) and full stalls
// (critical) watched by one thread. Null when the file is missing or refuses
// triggers (kernels without PSI, or PSI turned off).
std::unique_ptr<MemoryPressureSource>
makePsiMemoryPressureSource(platform::Queue& queue, MemoryPressureSource::Handler handler,
                            const std::filesystem::path& pressureFile = "/proc/pressure/memory");

// A source a test fires by hand.
class ScriptedMemoryPressureSource : public MemoryPressureSource {
public:
    ScriptedMemoryPressureSource(platform::Queue& queue, Handler handler);
    // Queues one delivery unless cancelled.
    void fire();
    void cancel() override;
    bool isCancelled() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace beacon
