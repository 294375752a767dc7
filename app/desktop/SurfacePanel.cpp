#include "app/desktop/SurfacePanel.h"

#include "app/desktop/QtHostingView.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

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
                           KeySink keys, FloatingPanel::Hooks hooks)
    : surface_(surface), keys_(std::move(keys)), hooks_(std::move(hooks)),
      closeOnLostFocus_(options.closeOnLostFocus), restoreWindowPosition_(options.restoreWindowPosition) {
    // Laid out and painted like a window, never shown as one.
    container_.setAttribute(Qt::WA_DontShowOnScreen);
    container_.setAttribute(Qt::WA_TranslucentBackground);
    container_.setWindowTitle(QStringLiteral("Zelvo"));
    auto* layout = new QVBoxLayout(&container_);
    layout->setContentsMargins(0, 0, 0, 0);
    container_.resize(std::max(1, int(options.contentRect.width)), std::max(1, int(options.contentRect.height)));
    container_.installEventFilter(this);

    platform::desktop::PanelSurface::Input input;
    input.key = [this](const platform::Event& event) {
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
    surface_.resize(width, height);
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
    surface_.map(container_.width(), container_.height(), takeKeyboard);
    if (takeKeyboard) makeKey();
    frameChanged();
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
    surface_.unmap();
    container_.hide();
    hovered_ = nullptr;
    pressed_ = nullptr;
    frameChanged();
}

void SurfacePanel::frameChanged() {
    if (hooks_.frameChanged) hooks_.frameChanged();
}

bool SurfacePanel::eventFilter(QObject* watched, QEvent* event) {
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
        if (!rendering_ && watched != &container_) scheduleRender();
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
        QPainterPath path;
        path.addRoundedRect(QRectF(container_.rect()), kCornerRadius, kCornerRadius);
        painter.fillPath(path, background);
        container_.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    rendering_ = false;
    surface_.endFrame();
    if (showRequested_) {
        auto elapsed = std::chrono::steady_clock::now() - *showRequested_;
        showRequested_.reset();
        if (hooks_.firstPaint) hooks_.firstPaint(std::chrono::duration<double, std::milli>(elapsed).count());
    }
}

void SurfacePanel::pointer(const platform::desktop::PointerEvent& event) {
    using Kind = platform::desktop::PointerEvent::Kind;
    const QPointF at(event.x, event.y);
    QWidget* target = container_.childAt(at.toPoint());
    if (!target) target = &container_;
    if (event.kind == Kind::Leave) target = nullptr;
    if (target != hovered_) {
        if (hovered_) {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(hovered_, &leave);
        }
        hovered_ = target;
        if (target) {
            const QPointF local = target->mapFrom(&container_, at);
            QEnterEvent enter(local, local, at);
            QApplication::sendEvent(target, &enter);
        }
    }
    auto send = [&](QWidget* to, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons) {
        if (!to) return;
        const QPointF local = to->mapFrom(&container_, at);
        QMouseEvent mouse(type, local, local, at, button, buttons, QApplication::keyboardModifiers());
        QApplication::sendEvent(to, &mouse);
    };
    const Qt::MouseButton button = event.button == 1   ? Qt::LeftButton
                                   : event.button == 3 ? Qt::RightButton
                                   : event.button == 2 ? Qt::MiddleButton
                                                       : Qt::NoButton;
    switch (event.kind) {
    case Kind::Enter:
    case Kind::Motion: send(pressed_ ? pressed_.data() : target, QEvent::MouseMove, Qt::NoButton, Qt::NoButton); break;
    case Kind::Press:
        pressed_ = target;
        send(target, QEvent::MouseButtonPress, button, button);
        // A click into a panel left on screen starts a switch there.
        if (!isKeyWindow()) makeKey();
        break;
    case Kind::Release:
        send(pressed_ ? pressed_.data() : target, QEvent::MouseButtonRelease, button, Qt::NoButton);
        pressed_ = nullptr;
        break;
    case Kind::Scroll:
    case Kind::Leave: break;
    }
    scheduleRender();
}

} // namespace app::desktop
