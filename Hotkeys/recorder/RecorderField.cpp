#include "Hotkeys/recorder/RecorderField.h"

#include "Hotkeys/core/Menu.h"
#include "Hotkeys/core/Services.h"
#include "Hotkeys/recorder/Bundle.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include <array>

namespace Hotkeys {

namespace {

constexpr std::uint16_t kTab = 48, kEscape = 53, kDelete = 51, kForwardDelete = 117, kF12 = 111;
// The function keys with a Carbon key code (F1-F20; keyboards with F21-F35
// report keys that have none, so they never reach the recorder).
constexpr std::array<std::uint16_t, 20> kFunctionKeys = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                                         103, 111, 105, 107, 113, 106, 64, 79,  80,  90};

struct Hooks {
    RecorderField::AlertPresenter alerts;
    std::function<void()> beeper;
    std::function<const Menu*()> mainMenu;
};

Hooks& hooks() {
    static Hooks h;
    return h;
}

QString localized(const char* key) { return QString::fromStdString(Bundle::module().localized(key)); }

bool isFunctionKey(std::uint16_t keyCode) {
    for (auto k : kFunctionKeys)
        if (k == keyCode) return true;
    return false;
}

int showMessageBox(QWidget* window, const RecorderAlert& alert) {
    QMessageBox box(window);
    box.setIcon(QMessageBox::Warning);
    box.setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box.setText(QString::fromStdString(alert.message));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    std::vector<QPushButton*> buttons;
    for (const auto& title : alert.buttons)
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole));
    if (buttons.empty()) buttons.push_back(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(buttons.front());
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return RecorderField::kFirstButtonResponse + static_cast<int>(i);
    return RecorderField::kFirstButtonResponse;
}

} // namespace

void RecorderField::setAlertPresenter(AlertPresenter presenter) { hooks().alerts = std::move(presenter); }
void RecorderField::setBeeper(std::function<void()> beeper) { hooks().beeper = std::move(beeper); }
void RecorderField::setMainMenuProvider(std::function<const Menu*()> provider) {
    hooks().mainMenu = std::move(provider);
}

RecorderField::RecorderField(Name name, OnChange onChange, platform::LocalEventSource& events, QWidget* parent)
    : QLineEdit(parent), onChange_(std::move(onChange)), shortcutName_(std::move(name)), events_(events) {
    setPlaceholderText(localized("record_shortcut"));
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
    // The text is only ever the shortcut's: no typing, pasting or dropping.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setDragEnabled(false);
    setAcceptDrops(false);

    cancelButton_ = addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    cancelButton_->setToolTip(QStringLiteral("Clear"));
    // The button shows only its icon; the text is its accessible name.
    cancelButton_->setText(QStringLiteral("Clear hotkey"));
    setAccessibleDescription(QStringLiteral("Press the new shortcut to record it; Backspace clears it."));
    connect(cancelButton_, &QAction::triggered, this, [this] { pressClearButton(); });

    showStoredShortcut();

    if (auto* center = services().notificationCenter) {
        QPointer<RecorderField> self(this);
        shortcutsNameChangeObserver_ = platform::Subscription(
            *center,
            center->addObserver(ShortcutByNameDidChangeNotification, nullptr, [self](const platform::Notification& n) {
                auto* changed = n.info<Name>("name");
                if (self && changed && *changed == self->shortcutName_) self->showStoredShortcut();
            }));
    }
}

RecorderField::~RecorderField() {
    // Leaving the window ends recording; a control destroyed while recording
    // must not leave every global shortcut paused.
    if (isRecording()) finishRecording();
}

QSize RecorderField::sizeHint() const { return {static_cast<int>(minimumWidth), QLineEdit::sizeHint().height()}; }

void RecorderField::setShortcutName(Name name) {
    if (name.rawValue == shortcutName_.rawValue) return;
    shortcutName_ = std::move(name);
    showStoredShortcut();
}

void RecorderField::showStoredShortcut() {
    auto shortcut = storedShortcut(shortcutName_);
    setText(shortcut ? QString::fromStdString(shortcut->displayName()) : QString());
    updateClearButton();
}

void RecorderField::updateClearButton() { cancelButton_->setVisible(!text().isEmpty()); }

bool RecorderField::clearButtonVisible() const { return cancelButton_->isVisible(); }

void RecorderField::pressClearButton() {
    setText(QString());
    controlTextDidChange();
}

void RecorderField::resignFocus() {
    if (window() && hasFocus()) clearFocus();
}

void RecorderField::takeFocus() { setFocus(Qt::OtherFocusReason); }

void RecorderField::deferKeyFocus() {
    canBecomeKey_ = false;
    setFocusPolicy(Qt::NoFocus);
    QTimer::singleShot(0, this, [this] {
        canBecomeKey_ = true;
        setFocusPolicy(Qt::StrongFocus);
    });
}

void RecorderField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    startRecording();
}

void RecorderField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A popup (the alert's own menus, a tooltip) takes the focus only for a
    // moment; anything else ends the edit.
    if (event->reason() != Qt::PopupFocusReason) finishRecording();
}

void RecorderField::startRecording() {
    setPlaceholderText(localized("press_shortcut"));
    updateClearButton();
    setHandlingPaused(true);
    QPointer<RecorderField> self(this);
    eventMonitor_ = std::make_unique<LocalEventMonitor>(
        events_, platform::EventMaskKeyDown | platform::EventMaskLeftMouseUp | platform::EventMaskRightMouseUp,
        [self](const platform::Event& event) -> std::optional<platform::Event> {
            if (!self) return std::nullopt;
            return self->handleRecordedEvent(event);
        });
    eventMonitor_->start();
}

void RecorderField::finishRecording() {
    eventMonitor_.reset();
    setPlaceholderText(localized("record_shortcut"));
    updateClearButton();
    setHandlingPaused(false);
}

void RecorderField::controlTextDidChange() {
    if (text().isEmpty()) {
        storeShortcut(std::nullopt, shortcutName_);
        if (onChange_) onChange_(std::nullopt);
    }
    updateClearButton();
    if (text().isEmpty()) takeFocus();
}

bool RecorderField::liesOnClearButton(QPoint point) const {
    for (QObject* object : cancelButton_->associatedObjects()) {
        auto* button = qobject_cast<QWidget*>(object);
        if (button && button != this && button->isVisible() && button->geometry().contains(point)) return true;
    }
    return false;
}

std::optional<platform::Event> RecorderField::handleRecordedEvent(const platform::Event& event) {
    using platform::EventType;
    if (event.type == EventType::LeftMouseUp || event.type == EventType::RightMouseUp) {
        auto* top = window();
        bool inside = false;
        if (top && event.window == top->windowHandle()) {
            QPoint point = mapFrom(top, QPoint(static_cast<int>(event.x), static_cast<int>(event.y)));
            inside = rect().adjusted(-3, -3, 3, 3).contains(point);
            // The clear button is part of the control and acts on release.
            if (inside && liesOnClearButton(point)) return event;
        }
        if (!inside) {
            resignFocus();
            return event;
        }
    }
    if (event.type != EventType::KeyDown) return std::nullopt;

    const auto modifiers = relevantModifiers(event);
    const bool noModifiers = modifiers.rawValue == 0;
    if (noModifiers && event.keyCode == kTab) {
        // Recording ends here and the Tab goes on to move the focus to the
        // next control, as anywhere in a form. Clearing the focus first would
        // send the Tab back to the window's first control.
        finishRecording();
        return event;
    }
    if (noModifiers && event.keyCode == kEscape) {
        resignFocus();
        return std::nullopt;
    }
    if (noModifiers && (event.keyCode == kDelete || event.keyCode == kForwardDelete)) {
        pressClearButton();
        return std::nullopt;
    }
    if ((modifiers.rawValue & ~std::uint64_t(platform::ModifierShift)) == 0 && !isFunctionKey(event.keyCode)) {
        beep();
        return std::nullopt;
    }
    auto shortcut = Shortcut::fromEvent(event);
    if (!shortcut) {
        beep();
        return std::nullopt;
    }

    if (hooks().mainMenu) {
        if (const Menu* menu = hooks().mainMenu()) {
            if (const MenuItem* item = shortcut->conflictingMenuItem(*menu)) {
                resignFocus();
                presentAlert(
                    {formatLocalized(Bundle::module().localized("keyboard_shortcut_used_by_menu_item"), item->title()),
                     {},
                     {}});
                takeFocus();
                return std::nullopt;
            }
        }
    }

    if (!(shortcut->carbonKeyCode == kF12 && shortcut->carbonModifiers == 0)) {
        // Taken: a system shortcut, or a combination another program grabbed.
        bool taken = isHeldByAnotherProgram(*shortcut);
        for (const auto& system : enabledSystemShortcuts())
            taken = taken || (system.carbonKeyCode == shortcut->carbonKeyCode &&
                              system.carbonModifiers == shortcut->carbonModifiers);
        if (taken) {
            resignFocus();
            const auto& bundle = Bundle::module();
            int response = presentAlert({bundle.localized("keyboard_shortcut_used_by_system"),
                                         bundle.localized("keyboard_shortcuts_can_be_changed"),
                                         {bundle.localized("ok"), bundle.localized("force_use_shortcut")}});
            takeFocus();
            if (response != kSecondButtonResponse) return std::nullopt;
        }
    }

    setText(QString::fromStdString(shortcut->displayName()));
    cancelButton_->setVisible(true);
    storeShortcut(*shortcut, shortcutName_);
    if (onChange_) onChange_(*shortcut);
    resignFocus();
    return std::nullopt;
}

int RecorderField::presentAlert(const RecorderAlert& alert) {
    QWidget* top = window() != this ? window() : nullptr;
    if (hooks().alerts) return hooks().alerts(top, alert);
    return showMessageBox(top, alert);
}

void RecorderField::beep() {
    if (hooks().beeper) hooks().beeper();
    else QApplication::beep();
}

bool RecorderField::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show) attachToWindow();
    if (event->type() == QEvent::Hide && isRecording()) finishRecording();
    return QLineEdit::event(event);
}

void RecorderField::attachToWindow() {
    QWidget* top = window() != this ? window() : nullptr;
    if (top == observedWindow_) return;
    if (observedWindow_) observedWindow_->removeEventFilter(this);
    observedWindow_ = top;
    if (!top) {
        finishRecording();
        return;
    }
    top->installEventFilter(this);
    deferKeyFocus();
}

bool RecorderField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == observedWindow_) {
        if (event->type() == QEvent::WindowDeactivate && isRecording()) {
            // An alert of our own deactivates the window while it is up; that
            // is not the user leaving the window.
            if (!QApplication::activeModalWidget()) {
                finishRecording();
                resignFocus();
            }
        } else if (event->type() == QEvent::WindowActivate) {
            deferKeyFocus();
        }
    }
    return QLineEdit::eventFilter(watched, event);
}

void RecorderField::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) return; // no selection paste
    QLineEdit::mousePressEvent(event);
}

void RecorderField::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

} // namespace Hotkeys
