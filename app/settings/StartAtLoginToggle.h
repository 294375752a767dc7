#pragma once

#include "app/login/StartAtLoginObservable.h"

#include <QCheckBox>

namespace app {

// A check box bound to start at login: it shows what the login-item
// registry says and re-reads it after every change, its own or another
// control's, so a failed change shows the state that really holds.
class StartAtLoginToggle : public QCheckBox {
public:
    explicit StartAtLoginToggle(const QString& label, QWidget* parent = nullptr);
    ~StartAtLoginToggle() override;

    // Reads the registry again.
    void refresh();

private:
    StartAtLoginObservable::ObserverId observer_ = 0;
};

} // namespace app
