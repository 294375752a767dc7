#pragma once

#include <memory>

namespace beacon {

class ChannelDelegate;

// Something that can be switched on and off; switching off with deletion
// drops the data it holds.
class Enable {
public:
    virtual ~Enable() = default;
    virtual void setEnabled(bool isEnabled, bool deleteDataOnDisabled) = 0;
};

// A channel (a unit or the whole group): delegates and pausing.
//
// A channel stays paused while any identifying object is in its pause lane;
// objects are held weakly and compared by identity, so any shared object
// (a service, the channel group, the unit itself) can be a reason to pause.
class ChannelProtocol : public Enable {
public:
    // Delegates are held weakly.
    virtual void addDelegate(const std::shared_ptr<ChannelDelegate>& delegate) = 0;
    virtual void removeDelegate(const std::shared_ptr<ChannelDelegate>& delegate) = 0;
    virtual void pauseWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) = 0;
    virtual void resumeWithIdentifyingObject(const std::shared_ptr<const void>& identifyingObject) = 0;
};

} // namespace beacon
