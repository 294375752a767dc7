#include "app/views/ToolbarView.h"

#include "app/core/AppDelegate.h"
#include "app/core/Preferences.h"
#include "app/desktop/MenuRequest.h"
#include "app/views/Accessibility.h"

#include <QHBoxLayout>
#include <QCoreApplication>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

namespace app::views {

namespace {
const QColor kBlue(0, 122, 255);
}

GlyphButton::GlyphButton(int pixelSize, QWidget* parent) : QAbstractButton(parent), pixelSize_(pixelSize) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_Hover);
}

QColor GlyphButton::tint() const { return tinted() ? kBlue : palette().color(QPalette::WindowText); }

// Room for the glyph at its hover size.
QSize GlyphButton::sizeHint() const { return QSize(int(pixelSize_ * 1.5), int(pixelSize_ * 1.5)); }

void GlyphButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    hovering_ = true;
    update();
}

void GlyphButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    hovering_ = false;
    update();
}

PinButton::PinButton(bool pinned, QWidget* parent) : GlyphButton(16, parent), pinned_(pinned) {}

void PinButton::setPinned(bool value) {
    if (value == pinned_) return;
    pinned_ = value;
    update();
    announceCheckedChanged(this);
}

void PinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(QRectF(rect()).center());
    p.rotate(rotation());
    p.scale(scale(), scale());
    double s = pixelSize_;
    // A push pin, head up: the head, the collar and the needle.
    QPainterPath head;
    head.addRoundedRect(QRectF(-s * 0.22, -s * 0.5, s * 0.44, s * 0.42), s * 0.08, s * 0.08);
    QPainterPath collar;
    collar.moveTo(-s * 0.36, s * 0.08);
    collar.lineTo(s * 0.36, s * 0.08);
    collar.lineTo(s * 0.22, -s * 0.1);
    collar.lineTo(-s * 0.22, -s * 0.1);
    collar.closeSubpath();
    QColor ink = tint();
    p.setPen(QPen(ink, std::max(1.2, s * 0.09), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(isFilled() ? QBrush(ink) : Qt::NoBrush);
    p.drawPath(head);
    p.drawPath(collar);
    p.drawLine(QPointF(0, s * 0.1), QPointF(0, s * 0.5));
}

void MenuButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(QRectF(rect()).center());
    p.scale(scale(), scale());
    double s = pixelSize_;
    QColor ink = tint();
    p.setPen(QPen(ink, std::max(1.2, s * 0.08)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(0, 0), s * 0.45, s * 0.45);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    for (int i = -1; i <= 1; ++i) p.drawEllipse(QPointF(i * s * 0.22, 0), s * 0.065, s * 0.065);
}

ToolbarView::ToolbarView(AppDelegate& delegate, platform::UserDefaults& defaults, QWidget* parent)
    : QWidget(parent), delegate_(delegate), defaults_(defaults) {
    pin_ = new PinButton(defaults_.boolForKey(kIsPinned), this);
    menuButton_ = new MenuButton(this);
    menu_ = new QMenu(this);
    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(4);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->addWidget(pin_);
    layout->addStretch(1);
    layout->addWidget(menuButton_);
    connect(pin_, &QAbstractButton::clicked, this, [this] { togglePin(); });
    connect(menuButton_, &QAbstractButton::clicked, this, [this] { popUpMenu(); });
    buildMenu();
}

void ToolbarView::popUpMenu() {
    // A panel that draws itself into a surface shows the menu there.
    desktop::MenuRequest request(menu_,
                                 menuButton_->mapTo(window(), QPoint(menuButton_->width(), menuButton_->height())));
    QCoreApplication::sendEvent(window(), &request);
    if (!request.isAccepted()) menu_->popup(menuButton_->mapToGlobal(QPoint(0, menuButton_->height())));
}

void ToolbarView::togglePin() {
    bool pinned = !pin_->isPinned();
    pin_->setPinned(pinned);
    defaults_.set(kIsPinned, pinned);
}

void ToolbarView::buildMenu() {
    auto add = [this](const char* title, std::function<void()> action) {
        connect(menu_->addAction(QString::fromUtf8(title)), &QAction::triggered, this, std::move(action));
    };
    add("About", [this] { delegate_.openAbout(); });
    add("More Apps", [this] { delegate_.moreApps(); });
    add("Check for Updates", [this] { delegate_.checkForUpdates(); });
    menu_->addSeparator();
    add("Settings", [this] { delegate_.openSettingsPanel(); }); // does nothing without a settings panel
    menu_->addSeparator();
    add("Feedback/Contact Us", [this] { delegate_.sendFeedback(); });
    menu_->addSeparator();
    add("Subscribe to Beta Updates", [this] { delegate_.SubscribeToBetaUpdates(); });
    menu_->addSeparator();
    add("Quit", [this] { delegate_.quit(); });
    // The menu took the keyboard from the panel while it was open: a panel
    // that was key takes it back.
    connect(menu_, &QMenu::aboutToHide, this, [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (const auto& panel = delegate_.panelWindow(); panel && panel->isKeyWindow()) panel->makeKey();
            },
            Qt::QueuedConnection);
    });
}

} // namespace app::views
