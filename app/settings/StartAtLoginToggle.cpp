#include "app/settings/StartAtLoginToggle.h"

#include "app/login/StartAtLogin.h"

#include <QPointer>
#include <QSignalBlocker>
#include <QTimer>

namespace app {

StartAtLoginToggle::StartAtLoginToggle(const QString& label, QWidget* parent) : QCheckBox(label, parent) {
    refresh();
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        StartAtLogin::shared().setEnabled(on);
        refresh();
    });
    QPointer<StartAtLoginToggle> self(this);
    // The announcement comes before the change: read once it is done.
    observer_ = StartAtLogin::shared().addWillChangeObserver([self] {
        if (self) QTimer::singleShot(0, self.data(), [self] { self->refresh(); });
    });
}

StartAtLoginToggle::~StartAtLoginToggle() { StartAtLogin::shared().removeObserver(observer_); }

void StartAtLoginToggle::refresh() {
    QSignalBlocker quiet(this);
    setChecked(StartAtLogin::shared().enabled());
}

} // namespace app
