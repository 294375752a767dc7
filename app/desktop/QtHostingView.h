#pragma once

#include "app/core/PanelWindow.h"

class QWidget;

namespace app::desktop {

// A hosting view whose content is a Qt widget, so a panel can embed it.
class QtHostingView : public HostingView {
public:
    virtual QWidget* widget() = 0;
};

} // namespace app::desktop
