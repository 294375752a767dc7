#include "beacon/context/DelegateForwarder.h"

#include "beacon/logger/Logger.h"

namespace beacon {

DelegateForwarder::DelegateForwarder() : traceBuffer_(std::vector<Trace>{}) {}

bool DelegateForwarder::enabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

void DelegateForwarder::setEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

void DelegateForwarder::addTraceBlock(Trace trace) {
    {
        std::lock_guard lock(mutex_);
        if (traceBuffer_) {
            if (traceBuffer_->empty()) BEACON_LOG_VERBOSE("Start buffering traces.");
            traceBuffer_->push_back(std::move(trace));
            return;
        }
    }
    trace();
}

void DelegateForwarder::flushTraceBuffer() {
    std::vector<Trace> traces;
    {
        std::lock_guard lock(mutex_);
        if (!traceBuffer_) return;
        traces = std::move(*traceBuffer_);
        traceBuffer_.reset();
    }
    for (auto& trace : traces) trace();
    BEACON_LOG_VERBOSE("Stop buffering traces, flushed.");
}

} // namespace beacon
