#include "app/desktop/QtPanelFactory.h"

#include "app/desktop/QtHostingView.h"
#include "app/desktop/SurfacePanel.h"

#include <QVBoxLayout>
#include <QWidget>

namespace app::desktop {

namespace {

// An ordinary top-level window: what the delegate gets when it has no content
// to host.
class PlainWindow : public QWidget, public PanelWindow {
public:
    PlainWindow() {
        setWindowTitle(QStringLiteral("Zelvo"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    ~PlainWindow() override {
        if (contentWidget_) contentWidget_->setParent(nullptr);
    }
    bool isVisible() const override { return QWidget::isVisible(); }
    void orderOut() override { hide(); }
    void makeKeyAndOrderFront() override {
        orderFront();
        makeKey();
    }
    void orderFront() override {
        show();
        raise();
    }
    void makeKey() override { activateWindow(); }
    void resignKey() override {}
    bool isKeyWindow() const override { return QWidget::isVisible() && isActiveWindow(); }
    void setContentSize(Size size) override { resize(std::max(1, int(size.width)), std::max(1, int(size.height))); }
    void setContentView(std::shared_ptr<HostingView> view) override {
        if (contentWidget_) contentWidget_->setParent(nullptr);
        contentWidget_ = nullptr;
        content_ = std::move(view);
        if (auto* hosted = dynamic_cast<QtHostingView*>(content_.get())) {
            contentWidget_ = hosted->widget();
            layout()->addWidget(contentWidget_);
        }
    }
    bool isFloatingPanel() const override { return false; }
    void setCloseOnLostFocus(bool) override {}
    void setRestoreWindowPosition(bool) override {}

private:
    std::shared_ptr<HostingView> content_;
    QWidget* contentWidget_ = nullptr;
};

} // namespace

QtPanelFactory::QtPanelFactory(platform::UserDefaults& defaults, platform::Queue& mainQueue)
    : defaults_(defaults), mainQueue_(mainQueue) {}

PanelWindowPtr QtPanelFactory::makeWindow() { return std::make_shared<PlainWindow>(); }

PanelWindowPtr QtPanelFactory::makeFloatingPanel(const FloatingPanelOptions& options) {
    if (panelSurface_ && !options.showsWindowControls)
        return std::make_shared<SurfacePanel>(*panelSurface_, options, defaults_, panelKeys_, hooks_);
    auto panel = std::make_shared<FloatingPanel>(options, defaults_, mainQueue_);
    panel->setHooks(hooks_);
    panel->setShowsInTaskbar(showsInTaskbar_);
    panels_.push_back(panel);
    return panel;
}

void QtPanelFactory::setShowsInTaskbar(bool value) {
    showsInTaskbar_ = value;
    for (auto& panel : panels()) panel->setShowsInTaskbar(value);
}

std::vector<std::shared_ptr<FloatingPanel>> QtPanelFactory::panels() const {
    std::vector<std::shared_ptr<FloatingPanel>> alive;
    for (const auto& weak : panels_)
        if (auto panel = weak.lock()) alive.push_back(panel);
    return alive;
}

} // namespace app::desktop
