#include "app/desktop/FloatingPanel.h"

#include "app/desktop/PanelFrame.h"
#include "app/desktop/QtHostingView.h"
#include "platform/linux/qt/Compositing.h"
#include "platform/linux/qt/KeyboardGrab.h"
#include "platform/linux/qt/PointerPresses.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace app::desktop {

namespace {
constexpr double kRestingOpacity = 0.9;
constexpr double kHoverOpacity = 1.0;
constexpr int kFadeMilliseconds = 500;
constexpr double kSaveDelaySeconds = 5.0;
constexpr double kCornerRadius = 10;
// The keyboard may be held for a moment by someone else (the hot key's own
// grab, the window manager); the grab is retried this often, this many times.
constexpr int kGrabRetryMilliseconds = 10;
constexpr int kGrabAttempts = 100;
} // namespace

FloatingPanel::FloatingPanel(const FloatingPanelOptions& options, platform::UserDefaults& defaults,
                             platform::Queue& mainQueue)
    : defaults_(defaults), mainQueue_(mainQueue), closeOnLostFocus_(options.closeOnLostFocus),
      restoreWindowPosition_(options.restoreWindowPosition), showsWindowControls_(options.showsWindowControls) {
    if (showsWindowControls_) {
        // A decorated window with close, minimise and zoom controls.
        setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
        setWindowTitle(QStringLiteral("Zelvo"));
    } else {
        // Unmanaged by the window manager: it maps at once, stays above, and
        // never takes the focus from the user's application.
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
                       Qt::WindowDoesNotAcceptFocus);
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
    }
    setAttribute(Qt::WA_DeleteOnClose, false); // survives closing and can be shown again
    setMouseTracking(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    resize(std::max(1, int(options.contentRect.width)), std::max(1, int(options.contentRect.height)));

    opacity_ = new QPropertyAnimation(this, "windowOpacity", this);
    opacity_->setDuration(kFadeMilliseconds);
    setWindowOpacity(kRestingOpacity);

    grabRetry_ = new QTimer(this);
    grabRetry_->setInterval(kGrabRetryMilliseconds);
    connect(grabRetry_, &QTimer::timeout, this, [this] { grabKeyboardNow(); });
    if (!showsWindowControls_) {
        presses_ = std::make_unique<platform::qt::PointerPresses>([this] { pointerPressed(QCursor::pos()); });
        connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) { focusMoved(window); });
    }
    watchScreens();
}

FloatingPanel::~FloatingPanel() {
    if (timer_) timer_->cancel();
    if (keyboardGrabbed_) platform::qt::ungrabKeyboard();
    // The hosted view belongs to its shared owner, not to this widget tree.
    if (contentWidget_) contentWidget_->setParent(nullptr);
}

void FloatingPanel::setContentView(std::shared_ptr<HostingView> view) {
    if (contentWidget_) {
        layout()->removeWidget(contentWidget_);
        contentWidget_->hide();
        contentWidget_->setParent(nullptr);
        contentWidget_ = nullptr;
    }
    content_ = std::move(view);
    if (auto* hosted = dynamic_cast<QtHostingView*>(content_.get())) {
        contentWidget_ = hosted->widget();
        layout()->addWidget(contentWidget_);
        contentWidget_->show();
    }
}

void FloatingPanel::setContentSize(Size size) {
    resize(std::max(1, int(size.width)), std::max(1, int(size.height)));
    // Grown past the edge of its screen: back onto it.
    if (!QWidget::isVisible()) return;
    QScreen* screen = QGuiApplication::screenAt(frameGeometry().center());
    if (!screen) screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) return;
    const QRect a = screen->availableGeometry(), f = frameGeometry();
    Rect fitted = fitInto(Rect{double(f.x()), double(f.y()), double(f.width()), double(f.height())},
                          Rect{double(a.x()), double(a.y()), double(a.width()), double(a.height())});
    if (int(fitted.x) != f.x() || int(fitted.y) != f.y()) move(int(fitted.x), int(fitted.y));
}

Rect FloatingPanel::frame() const {
    QRect r = frameGeometry();
    return Rect{double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

void FloatingPanel::saveFrame() { defaults_.set(kUserDefaultsFrameKey, encodePanelFrame(frame())); }

void FloatingPanel::centre() {
    // On the screen of the pointer: where the user works.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->availableGeometry();
    QSize size = frameGeometry().size();
    move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void FloatingPanel::flushPendingSave() {
    if (!isManuallyMoved_) return;
    if (timer_) timer_->cancel();
    timer_.reset();
    saveFrame();
    isManuallyMoved_ = false;
}

void FloatingPanel::makeKeyAndOrderFront() {
    orderFront();
    makeKey();
}

void FloatingPanel::orderFront() {
    flushPendingSave();
    std::optional<Rect> saved;
    if (restoreWindowPosition_) {
        // A missing or foreign value centres the panel and stays stored until
        // the next save replaces it.
        if (auto data = defaults_.dataForKey(kUserDefaultsFrameKey)) saved = decodePanelFrame(*data);
    }
    if (saved) {
        // Only onto a screen that is connected now.
        std::vector<Rect> screens;
        for (QScreen* screen : QGuiApplication::screens()) {
            QRect a = screen->availableGeometry();
            screens.push_back(Rect{double(a.x()), double(a.y()), double(a.width()), double(a.height())});
        }
        saved = placeSavedFrame(*saved, screens);
    }
    if (saved) {
        resize(int(saved->width), int(saved->height));
        move(int(saved->x), int(saved->y));
    } else {
        centre();
    }
    if (!QWidget::isVisible()) {
        showRequested_ = std::chrono::steady_clock::now();
        show();
    }
    raise();
}

void FloatingPanel::makeKey() {
    if (!QWidget::isVisible()) return;
    if (showsWindowControls_) {
        activateWindow();
        return;
    }
    // Before the first paint: the keys typed right after the hot key
    // already belong to the panel.
    wantsKeyboard_ = true;
    grabAttempts_ = 0;
    if (presses_) presses_->watch(true);
    grabKeyboardNow();
}

void FloatingPanel::pointerPressed(QPoint at) {
    if (!wantsKeyboard_ || QApplication::widgetAt(at)) return;
    resignKey();
}

void FloatingPanel::focusMoved(QWindow* window) {
    // Only a move to another Zelvo window takes the keys away. Qt reports the
    // focus leaving Zelvo for another program late (it first waits for a
    // focus-in that may follow), so that notice can arrive after a switch
    // begun right afterwards has taken the keyboard; a user going to another
    // program by the pointer is caught by the press watcher instead.
    if (!wantsKeyboard_ || !window || window == windowHandle()) return;
    if (window && window->type() == Qt::Popup) {
        // The panel's own popup menu takes the keys while it is open and
        // hands them back when it closes.
        if (auto* popup = QApplication::activePopupWidget(); popup && QWidget::keyboardGrabber() == this)
            popup->grabKeyboard();
        return;
    }
    resignKey();
}

void FloatingPanel::resignKey() {
    wantsKeyboard_ = false;
    releaseKeyboardGrab();
}

bool FloatingPanel::isKeyWindow() const {
    if (!QWidget::isVisible()) return false;
    return showsWindowControls_ ? isActiveWindow() : wantsKeyboard_;
}

void FloatingPanel::grabKeyboardNow() {
    if (!QWidget::isVisible() || showsWindowControls_ || !wantsKeyboard_) {
        grabRetry_->stop();
        return;
    }
    QWidget::grabKeyboard(); // Qt routes the keys to this widget
    keyboardGrabbed_ = platform::qt::grabKeyboard(windowHandle());
    if (keyboardGrabbed_ || ++grabAttempts_ >= kGrabAttempts) grabRetry_->stop();
    else if (!grabRetry_->isActive()) grabRetry_->start();
}

void FloatingPanel::releaseKeyboardGrab() {
    grabRetry_->stop();
    if (presses_) presses_->watch(false);
    if (keyboardGrabbed_ || QWidget::keyboardGrabber() == this) {
        QWidget::releaseKeyboard();
        platform::qt::ungrabKeyboard();
        keyboardGrabbed_ = false;
    }
}

void FloatingPanel::ensureKeyboardGrab() {
    if (!QWidget::isVisible() || showsWindowControls_ || !wantsKeyboard_) return;
    grabAttempts_ = 0;
    grabKeyboardNow();
}

void FloatingPanel::orderOut() {
    flushPendingSave();
    hide();
}

void FloatingPanel::closePanel() {
    hide();
    if (restoreWindowPosition_) saveFrame();
}

void FloatingPanel::resignMain() {
    if (!closeOnLostFocus_) {
        // A pinned panel stays, but the application the user went to gets
        // the keyboard.
        resignKey();
        return;
    }
    closePanel();
}

void FloatingPanel::setShowsInTaskbar(bool value) {
    if (!showsWindowControls_ || value == showsInTaskbar_) return;
    showsInTaskbar_ = value;
    bool visible = QWidget::isVisible();
    // A tool window gets no taskbar entry; changing the kind re-creates the
    // native window, which hides it.
    setWindowFlag(Qt::Tool, !value);
    if (visible) show();
}

void FloatingPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateShape(); // a compositing manager may have come or gone meanwhile
    if (hooks_.frameChanged) hooks_.frameChanged();
}

void FloatingPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    flushPendingSave(); // also when Qt closes the windows on quitting
    wantsKeyboard_ = false;
    releaseKeyboardGrab();
    dragOffset_.reset();
    if (hooks_.frameChanged) hooks_.frameChanged();
}

void FloatingPanel::paintEvent(QPaintEvent* event) {
    if (!showsWindowControls_) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor background = palette().color(QPalette::Window);
        background.setAlpha(242);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
        painter.fillPath(path, background);
    } else {
        QWidget::paintEvent(event);
    }
    if (showRequested_) {
        auto elapsed = std::chrono::steady_clock::now() - *showRequested_;
        showRequested_.reset();
        if (hooks_.firstPaint) hooks_.firstPaint(std::chrono::duration<double, std::milli>(elapsed).count());
    }
}

void FloatingPanel::updateShape() {
    // Without a compositing manager the translucent corners would show
    // black: the window is cut to its rounded outline instead.
    if (showsWindowControls_) return;
    if (platform::qt::compositingManagerRunning()) {
        if (!mask().isEmpty()) clearMask();
        return;
    }
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void FloatingPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateShape();
    if (hooks_.frameChanged) hooks_.frameChanged();
}

void FloatingPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (hooks_.frameChanged) hooks_.frameChanged();
    if (!restoreWindowPosition_ || !QWidget::isVisible()) return;
    // Moves in quick succession save once, a while after the last one.
    isManuallyMoved_ = true;
    if (timer_) timer_->cancel();
    QPointer<FloatingPanel> weak(this);
    timer_ = mainQueue_.schedule(platform::Seconds(kSaveDelaySeconds), false, [weak] {
        if (!weak) return;
        weak->saveFrame();
        weak->isManuallyMoved_ = false;
    });
}

void FloatingPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A managed window (settings) loses focus like any other window.
    if (event->type() == QEvent::ActivationChange && showsWindowControls_ && QWidget::isVisible() && !isActiveWindow())
        resignMain();
}

void FloatingPanel::animateOpacity(double to) {
    opacity_->stop();
    opacity_->setStartValue(windowOpacity());
    opacity_->setEndValue(to);
    opacity_->start();
}

void FloatingPanel::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    animateOpacity(kHoverOpacity);
}

void FloatingPanel::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    animateOpacity(kRestingOpacity);
}

void FloatingPanel::mousePressEvent(QMouseEvent* event) {
    // Dragging the background moves the panel.
    // A click into a panel left on screen hands it the keyboard.
    if (!showsWindowControls_ && !wantsKeyboard_) makeKey();
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    if (showsWindowControls_ && windowHandle() && windowHandle()->startSystemMove()) return;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void FloatingPanel::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - *dragOffset_);
    QWidget::mouseMoveEvent(event);
}

void FloatingPanel::mouseReleaseEvent(QMouseEvent* event) {
    dragOffset_.reset();
    QWidget::mouseReleaseEvent(event);
}

void FloatingPanel::watchScreens() {
    auto follow = [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, [this] { screensChanged(); });
    };
    for (QScreen* screen : QGuiApplication::screens()) follow(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this, follow](QScreen* screen) {
        follow(screen);
        screensChanged();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, [this] { screensChanged(); });
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this] { screensChanged(); });
}

void FloatingPanel::screensChanged() {
    // A new arrangement: show the panel again, centred on what is there now.
    if (!QWidget::isVisible()) return;
    const bool key = wantsKeyboard_;
    hide();
    orderFront();
    if (key) makeKey();
    centre();
}

} // namespace app::desktop
