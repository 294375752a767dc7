#pragma once

#include <QCheckBox>

namespace app {

class TelemetrySwitch;

// "Share anonymous usage data and crash reports": shows whether the
// telemetry is on and turns it on or off. Greyed out when the environment
// turned the telemetry off (BEACON_DISABLE=All) or the program runs without
// one.
class TelemetryToggle : public QCheckBox {
public:
    static constexpr const char* kTitle = "Share anonymous usage data and crash reports";

    explicit TelemetryToggle(TelemetrySwitch* telemetrySwitch, QWidget* parent = nullptr);

    // Reads the switch again.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TelemetrySwitch* switch_;
};

} // namespace app
