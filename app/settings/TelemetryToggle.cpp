#include "app/settings/TelemetryToggle.h"

#include "app/core/Telemetry.h"

#include <QSignalBlocker>

namespace app {

TelemetryToggle::TelemetryToggle(TelemetrySwitch* telemetrySwitch, QWidget* parent)
    : QCheckBox(QString::fromUtf8(kTitle), parent), switch_(telemetrySwitch) {
    refresh();
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        if (switch_) switch_->setEnabled(on);
    });
}

void TelemetryToggle::refresh() {
    QSignalBlocker quiet(this);
    const bool available = switch_ && !switch_->isForcedOff();
    setEnabled(available);
    setChecked(available && switch_->isEnabled());
    if (!switch_) setToolTip(QStringLiteral("Zelvo runs without telemetry"));
    else if (switch_->isForcedOff()) setToolTip(QStringLiteral("Turned off by BEACON_DISABLE in the environment"));
    else setToolTip(QStringLiteral("Zelvo sends anonymous usage data and its crash reports to its maker"));
}

void TelemetryToggle::showEvent(QShowEvent* event) {
    refresh();
    QCheckBox::showEvent(event);
}

} // namespace app
