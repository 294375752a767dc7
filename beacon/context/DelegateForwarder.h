#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace beacon {

// The part of the delegate forwarder this library uses: whether forwarding
// is enabled, and a buffer of diagnostic traces recorded before the log
// level is configured. Traces wait in the buffer until flushTraceBuffer runs
// them in order; from then on they run at once.
class DelegateForwarder {
public:
    using Trace = std::function<void()>;

    DelegateForwarder();
    virtual ~DelegateForwarder() = default;

    bool enabled() const;
    void setEnabled(bool enabled);

    // Buffers the trace (the first one after "Start buffering traces."), or
    // runs it when the buffer was flushed already.
    void addTraceBlock(Trace trace);
    // Runs the buffered traces in order, logs "Stop buffering traces,
    // flushed." and drops the buffer for good. Later calls do nothing.
    void flushTraceBuffer();

private:
    mutable std::mutex mutex_;
    bool enabled_ = true;
    std::optional<std::vector<Trace>> traceBuffer_;
};

} // namespace beacon
