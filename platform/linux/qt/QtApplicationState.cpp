#include "platform/linux/qt/QtApplicationState.h"

#include <QGuiApplication>

namespace platform::qt {

namespace {
ApplicationActivity activityOf(Qt::ApplicationState state) {
    switch (state) {
    case Qt::ApplicationActive: return ApplicationActivity::Active;
    case Qt::ApplicationInactive: return ApplicationActivity::Inactive;
    case Qt::ApplicationHidden:
    case Qt::ApplicationSuspended: return ApplicationActivity::Background;
    }
    return ApplicationActivity::Unknown;
}
} // namespace

QtApplicationState::QtApplicationState(NotificationCenter& center) : reporter_(center) {
    reporter_.report(activityOf(QGuiApplication::applicationState()));
    connection_ = QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged,
                                   [this](Qt::ApplicationState state) { reporter_.report(activityOf(state)); });
}

QtApplicationState::~QtApplicationState() { QObject::disconnect(connection_); }

} // namespace platform::qt
