#include "app/desktop/SurfacePanel.h"

#include "app/desktop/MenuRequest.h"
#include "app/desktop/PanelFrame.h"
#include "app/desktop/QtHostingView.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace app::desktop {

namespace {

constexpr double kCornerRadius = 10;

// Every widget under `root`, for the repaint requests they make.
void watchTree(QWidget* root, QObject* filter) {
    root->installEventFilter(filter);
    for (auto* child : root->findChildren<QWidget*>()) child->installEventFilter(filter);
}

} // namespace

SurfacePanel::SurfacePanel(platform::desktop::PanelSurface& surface, const FloatingPanelOptions& options,
                           platform::UserDefaults& defaults, KeySink keys, FloatingPanel::Hooks hooks)
    : surface_(surface), defaults_(defaults), keys_(std::move(keys)), hooks_(std::move(hooks)),
      closeOnLostFocus_(options.closeOnLostFocus), restoreWindowPosition_(options.restoreWindowPosition) {
    // Laid out and painted like a window, never shown as one.
    container_.setAttribute(Qt::WA_DontShowOnScreen);
    // No frame for the platform to add to its size.
    container_.setWindowFlags(Qt::FramelessWindowHint);
    container_.setAttribute(Qt::WA_TranslucentBackground);
    container_.setWindowTitle(QStringLiteral("Zelvo"));
    auto* layout = new QVBoxLayout(&container_);
    layout->setContentsMargins(0, 0, 0, 0);
    container_.resize(std::max(1, int(options.contentRect.width)), std::max(1, int(options.contentRect.height)));
    container_.installEventFilter(this);

    platform::desktop::PanelSurface::Input input;
    input.key = [this](const platform::Event& event) {
        // An open menu has the keyboard to itself, as a popup would.
        if (menu_) {
            if (event.type == platform::EventType::KeyDown) menu_->key(event.keyCode);
            return;
        }
        if (keys_) keys_(event);
    };
    input.pointer = [this](const platform::desktop::PointerEvent& event) { pointer(event); };
    input.frameNeeded = [this] { render(); };
    input.closed = [this] { frameChanged(); };
    input.keyboardFocus = [this](bool) { frameChanged(); };
    repeat_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&repeat_, &QTimer::timeout, this, [this] {
        repeat_.setInterval(repeatInterval_); // after the first, the rate
        surface_.repeatKey();
    });
    input.repeatStarted = [this](int delay, int interval) {
        repeatInterval_ = std::max(1, interval);
        repeat_.start(std::max(1, delay));
    };
    input.repeatStopped = [this] { repeat_.stop(); };
    surface_.setInput(std::move(input));
}

SurfacePanel::~SurfacePanel() {
    menu_.reset();
    surface_.setInput({});
    surface_.unmap();
    if (contentWidget_) contentWidget_->setParent(nullptr);
}

void SurfacePanel::setContentView(std::shared_ptr<HostingView> view) {
    if (contentWidget_) contentWidget_->setParent(nullptr);
    contentWidget_ = nullptr;
    content_ = std::move(view);
    if (auto* hosted = dynamic_cast<QtHostingView*>(content_.get())) {
        contentWidget_ = hosted->widget();
        container_.layout()->addWidget(contentWidget_);
        watchTree(&container_, this);
    }
    scheduleRender();
}

void SurfacePanel::setContentSize(Size size) {
    const int width = std::max(1, int(size.width)), height = std::max(1, int(size.height));
    container_.resize(width, height);
    fitSurface();
    scheduleRender();
}

void SurfacePanel::makeKeyAndOrderFront() { show(true); }

void SurfacePanel::orderFront() { show(false); }

void SurfacePanel::show(bool takeKeyboard) {
    if (surface_.mapped()) {
        if (takeKeyboard) makeKey();
        return;
    }
    showRequested_ = std::chrono::steady_clock::now();
    // Shown to Qt (off screen), so that layouts run and children paint.
    container_.show();
    if (auto* layout = container_.layout()) layout->activate();
    watchTree(&container_, this);
    const auto place = savedPlace();
    anchored_ = place.has_value();
    surface_.map(container_.width(), container_.height(), takeKeyboard, place);
    if (takeKeyboard) makeKey();
    frameChanged();
}

std::optional<std::pair<int, int>> SurfacePanel::savedPlace() const {
    if (!restoreWindowPosition_) return std::nullopt;
    auto data = defaults_.dataForKey(FloatingPanel::kUserDefaultsFrameKey);
    auto saved = data ? decodePanelFrame(*data) : std::nullopt;
    if (!saved) return std::nullopt;
    // The panel keeps the size of its content; only the place is restored.
    saved->width = container_.width();
    saved->height = container_.height();
    std::vector<Rect> outputs;
    for (const auto& o : surface_.outputs())
        outputs.push_back(Rect{double(o.x), double(o.y), double(o.width), double(o.height)});
    auto placed = placeSavedFrame(*saved, outputs);
    if (!placed) return std::nullopt;
    return std::pair(int(placed->x), int(placed->y));
}

std::optional<QRect> SurfacePanel::frame() const {
    auto frame = surface_.frame();
    if (!frame) return std::nullopt;
    return QRect(frame->x + origin_.x(), frame->y + origin_.y(), container_.width(), container_.height());
}

void SurfacePanel::saveFrame() {
    if (!restoreWindowPosition_) return;
    if (auto at = frame())
        defaults_.set(FloatingPanel::kUserDefaultsFrameKey,
                      encodePanelFrame(Rect{double(at->x()), double(at->y()), double(at->width()),
                                            double(at->height())}));
}

void SurfacePanel::makeKey() {
    if (!surface_.mapped()) return;
    surface_.setTakesKeyboard(true);
    QTimer::singleShot(kKeyboardDeadlineMilliseconds, this, [this] {
        if (isKeyWindow() && !surface_.hasKeyboard()) orderOut();
    });
}

void SurfacePanel::resignKey() {
    surface_.setTakesKeyboard(false);
    frameChanged();
}

void SurfacePanel::orderOut() {
    if (!surface_.mapped()) return;
    closeMenu();
    surface_.unmap();
    container_.hide();
    hovered_ = nullptr;
    pressed_ = nullptr;
    dragGrab_.reset();
    frameChanged();
}

void SurfacePanel::frameChanged() {
    if (hooks_.frameChanged) hooks_.frameChanged();
}

bool SurfacePanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == MenuRequest::type() && watched == &container_) {
        auto* request = static_cast<MenuRequest*>(event);
        if (request->menu()) openMenu(*request->menu(), request->anchor());
        request->accept();
        return true;
    }
    switch (event->type()) {
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
    case QEvent::LayoutRequest:
    case QEvent::ChildAdded:
        scheduleRender();
        break;
    case QEvent::Paint:
        // A view repainted (not by our own rendering): the surface gets a
        // new frame.
        if (!rendering_ && watched != &container_ && watched != menu_.get()) scheduleRender();
        break;
    default: break;
    }
    if (event->type() == QEvent::ChildAdded)
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) watchTree(child, this);
    return false;
}

void SurfacePanel::scheduleRender() {
    if (renderPending_ || !surface_.mapped()) return;
    renderPending_ = true;
    QTimer::singleShot(0, this, [this] {
        renderPending_ = false;
        render();
    });
}

void SurfacePanel::render() {
    auto pixels = surface_.beginFrame();
    if (!pixels) return; // both buffers are with the compositor: the release asks again
    QImage image(reinterpret_cast<uchar*>(pixels->data), pixels->width, pixels->height, pixels->stride,
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixels->scale);
    image.fill(Qt::transparent);
    rendering_ = true;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor background = container_.palette().color(QPalette::Window);
        background.setAlpha(242);
        painter.translate(origin_);
        QPainterPath path;
        path.addRoundedRect(QRectF(container_.rect()), kCornerRadius, kCornerRadius);
        painter.fillPath(path, background);
        container_.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        if (menu_) menu_->render(&painter, menuAt_, QRegion(), QWidget::DrawChildren);
    }
    rendering_ = false;
    surface_.endFrame();
    if (menu_ && !menuDrawn_) {
        menuDrawn_ = true;
        frameChanged();
    }
    if (showRequested_) {
        auto elapsed = std::chrono::steady_clock::now() - *showRequested_;
        showRequested_.reset();
        if (hooks_.firstPaint) hooks_.firstPaint(std::chrono::duration<double, std::milli>(elapsed).count());
    }
}

QWidget* SurfacePanel::widgetAt(QPointF at) const {
    if (menu_ && QRect(menuAt_, menu_->size()).contains(at.toPoint())) return menu_.get();
    QWidget* widget = container_.childAt(at.toPoint());
    return widget ? widget : const_cast<QWidget*>(&container_);
}

QPointF SurfacePanel::mapTo(QWidget* widget, QPointF at) const {
    if (widget == menu_.get()) return at - QPointF(menuAt_);
    return widget->mapFrom(&container_, at);
}

void SurfacePanel::pointer(const platform::desktop::PointerEvent& event) {
    using Kind = platform::desktop::PointerEvent::Kind;
    const QPointF at = QPointF(event.x, event.y) - QPointF(origin_);
    QWidget* target = event.kind == Kind::Leave ? nullptr : widgetAt(at);
    if (target != hovered_) {
        if (hovered_) {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(hovered_, &leave);
        }
        hovered_ = target;
        if (target) {
            const QPointF local = mapTo(target, at);
            QEnterEvent enter(local, local, at);
            QApplication::sendEvent(target, &enter);
        }
    }
    // True when a view took the event.
    auto send = [&](QWidget* to, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons) {
        if (!to) return false;
        const QPointF local = mapTo(to, at);
        QMouseEvent mouse(type, local, local, at, button, buttons, QApplication::keyboardModifiers());
        QApplication::sendEvent(to, &mouse);
        return mouse.isAccepted() && to != &container_;
    };
    const Qt::MouseButton button = event.button == 1   ? Qt::LeftButton
                                   : event.button == 3 ? Qt::RightButton
                                   : event.button == 2 ? Qt::MiddleButton
                                                       : Qt::NoButton;
    switch (event.kind) {
    case Kind::Enter:
    case Kind::Motion:
        if (dragGrab_) {
            // The pressed point stays under the pointer.
            if (auto frame = surface_.frame()) {
                const QPointF by = QPointF(event.x, event.y) - *dragGrab_;
                if (by.manhattanLength() >= 1) {
                    surface_.moveTo(frame->x + int(by.x()), frame->y + int(by.y()));
                    dragged_ = anchored_ = true;
                }
            }
            break;
        }
        send(pressed_ ? pressed_.data() : target, QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
        break;
    case Kind::Press:
        // A press beside an open menu only closes it.
        if (menu_ && target != menu_.get()) {
            closeMenu();
            break;
        }
        pressed_ = target;
        // A press that no view takes is on the background: it drags the panel.
        if (!send(target, QEvent::MouseButtonPress, button, button) && button == Qt::LeftButton && !menu_) {
            dragGrab_ = QPointF(event.x, event.y);
            dragged_ = false;
        }
        // A click into a panel left on screen starts a switch there.
        if (!isKeyWindow()) makeKey();
        break;
    case Kind::Release:
        if (std::exchange(dragGrab_, std::nullopt) && std::exchange(dragged_, false)) {
            saveFrame();
            frameChanged();
        }
        send(pressed_ ? pressed_.data() : target, QEvent::MouseButtonRelease, button, Qt::NoButton);
        pressed_ = nullptr;
        break;
    case Kind::Scroll:
        // Scroll steps as wheel notches (120 eighths of a degree each),
        // positive down on the surface, positive up for Qt. Qt passes a sent
        // wheel event to no parent: up the views until one takes it.
        for (QWidget* to = target; to; to = to == &container_ ? nullptr : to->parentWidget()) {
            const QPoint delta(0, int(-event.scrollDelta * 120));
            QWheelEvent wheel(mapTo(to, at), at, QPoint(), delta, Qt::NoButton, QApplication::keyboardModifiers(),
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(to, &wheel);
            if (wheel.isAccepted()) break;
        }
        break;
    case Kind::Leave: break;
    }
    scheduleRender();
}

void SurfacePanel::openMenu(QMenu& menu, QPoint anchor) {
    closeMenu();
    menu_ = std::make_unique<SurfaceMenu>(menu, [this] { closeMenu(); });
    menu_->installEventFilter(this);
    menuDrawn_ = false;
    menuAt_ = QPoint(std::max(0, anchor.x() - menu_->width()), std::max(0, anchor.y()));
    fitSurface();
    scheduleRender();
    frameChanged();
}

void SurfacePanel::closeMenu() {
    if (!menu_) return;
    // The menu may be closing from inside its own event handler.
    menu_->removeEventFilter(this);
    if (hovered_ == menu_.get()) hovered_ = nullptr;
    if (pressed_ == menu_.get()) pressed_ = nullptr;
    menu_.release()->deleteLater();
    fitSurface();
    scheduleRender();
    frameChanged();
}

void SurfacePanel::fitSurface() {
    const QSize panel = container_.size();
    QSize extra(0, 0);
    if (menu_) {
        const QRect menu(menuAt_, menu_->size());
        extra = QSize(std::max(0, menu.right() + 1 - panel.width()), std::max(0, menu.bottom() + 1 - panel.height()));
    }
    // Placed by its corner, it grows to the right and down only.
    const int sides = anchored_ ? 1 : 2;
    origin_ = anchored_ ? QPoint() : QPoint(extra.width(), extra.height());
    surface_.resize(panel.width() + sides * extra.width(), panel.height() + sides * extra.height());
}

} // namespace app::desktop
