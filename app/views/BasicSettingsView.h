#pragma once

#include "app/desktop/QtHostingView.h"

#include <QWidget>

#include <memory>

namespace app {
class AppDelegate;
}

namespace app::views {

// A plain settings page: the three stored settings ("showInDock",
// "DoNotHideWhenHotkeyIsReleased", "sortingCriterion") and a Close button
// that completes the welcome. It serves until the full settings view with
// the shortcut recorder and the login switch takes its place.
class BasicSettingsView : public QWidget {
public:
    explicit BasicSettingsView(AppDelegate& delegate, QWidget* parent = nullptr);
};

class SettingsHostingView : public desktop::QtHostingView {
public:
    explicit SettingsHostingView(std::unique_ptr<QWidget> view) : view_(std::move(view)) {}
    Size fittingSize() override { return Size{600, 600}; }
    void layoutIfNeeded() override {}
    QWidget* widget() override { return view_.get(); }

private:
    std::unique_ptr<QWidget> view_;
};

} // namespace app::views
