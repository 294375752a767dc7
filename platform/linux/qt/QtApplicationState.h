#pragma once

#include "platform/ApplicationState.h"

#include <QMetaObject>

namespace platform::qt {

// Reports Qt's application state on the default centre: active (a Zelvo
// window has the focus) -> Active, inactive -> Inactive, hidden or suspended
// -> Background. The state at construction is reported at once.
class QtApplicationState {
public:
    explicit QtApplicationState(NotificationCenter& center);
    ~QtApplicationState();
    QtApplicationState(const QtApplicationState&) = delete;
    QtApplicationState& operator=(const QtApplicationState&) = delete;

private:
    ApplicationStateReporter reporter_;
    QMetaObject::Connection connection_;
};

} // namespace platform::qt
