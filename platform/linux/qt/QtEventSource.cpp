#include "platform/linux/qt/QtEventSource.h"

#include "platform/linux/keycodes/CarbonKeyCodes.h"
#include "platform/linux/qt/KeySymbols.h"
#include "platform/linux/qt/ModifierKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

namespace platform::qt {

using namespace platform::keycodes;

QtEventSource::QtEventSource()
    : symbols_(std::make_unique<KeySymbols>()), modifiers_(std::make_unique<ModifierKeys>()) {
    if (auto* app = QCoreApplication::instance()) app->installEventFilter(this);
}

QtEventSource::~QtEventSource() {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

LocalEventSource::MonitorId QtEventSource::addLocalMonitor(unsigned mask, Handler handler) {
    MonitorId id = next_++;
    monitors_.emplace(id, Monitor{mask, std::make_shared<Handler>(std::move(handler))});
    return id;
}

void QtEventSource::removeMonitor(MonitorId id) { monitors_.erase(id); }

void QtEventSource::keymapChanged() {
    symbols_->reload();
    modifiers_->reload();
}

std::optional<Event> QtEventSource::translate(const QKeyEvent& key) const {
    auto code = carbonKeyCodeForX11(key.nativeScanCode());
    if (!code) return std::nullopt;
    Event event;
    event.keyCode = *code;
    event.isARepeat = key.isAutoRepeat();
    std::uint64_t flags = modifierFlagsFromX11State(key.nativeModifiers());
    // The X state describes the moment before this key: a modifier's own
    // press or release is folded in here.
    if (std::uint64_t own = modifierFlagForCarbonKey(*code)) {
        event.type = EventType::FlagsChanged;
        // What the key stands for is the server's modifier mapping where
        // there is one: AltGr sits where right Alt does but is no Option.
        const auto mask = modifiers_->maskOf(key.nativeScanCode());
        if (mask) own = modifierFlagsFromX11State(*mask);
        if (own == ModifierCapsLock) flags = key.type() == QEvent::KeyPress ? (flags ^ own) : flags;
        else if (key.type() == QEvent::KeyPress) flags |= own;
        // Letting go of one of two held keys of a modifier (both Alt keys)
        // leaves the modifier on.
        else if (!(mask && modifiers_->otherHeld(key.nativeScanCode(), *mask))) flags &= ~own;
    } else {
        event.type = key.type() == QEvent::KeyPress ? EventType::KeyDown : EventType::KeyUp;
        event.characters = key.text().toStdString();
        if (const char* keypad = keypadCharacters(*code); *keypad) event.charactersIgnoringModifiers = keypad;
        else
            // Bits 13-14 of the X state carry the active layout group.
            event.charactersIgnoringModifiers =
                symbols_->unmodifiedCharacters(key.nativeScanCode(), (key.nativeModifiers() >> 13) & 3);
        if (event.charactersIgnoringModifiers.empty() && !(flags & ~std::uint64_t(ModifierCapsLock)))
            event.charactersIgnoringModifiers = event.characters;
        if (isNumericPadKey(*code)) flags |= ModifierNumericPad;
    }
    event.modifierFlags = flags;
    return event;
}

std::optional<Event> QtEventSource::translateMouse(const QMouseEvent& mouse, const QObject* window) const {
    bool press = mouse.type() == QEvent::MouseButtonPress;
    Event event;
    if (mouse.button() == Qt::LeftButton) event.type = press ? EventType::LeftMouseDown : EventType::LeftMouseUp;
    else if (mouse.button() == Qt::RightButton)
        event.type = press ? EventType::RightMouseDown : EventType::RightMouseUp;
    else return std::nullopt;
    event.x = mouse.position().x();
    event.y = mouse.position().y();
    auto mods = mouse.modifiers();
    if (mods & Qt::ShiftModifier) event.modifierFlags |= ModifierShift;
    if (mods & Qt::ControlModifier) event.modifierFlags |= ModifierControl;
    if (mods & Qt::AltModifier) event.modifierFlags |= ModifierOption;
    if (mods & Qt::MetaModifier) event.modifierFlags |= ModifierCommand;
    event.window = window;
    return event;
}

std::optional<Event> QtEventSource::dispatch(const Event& event) {
    std::optional<Event> current = event;
    auto snapshot = monitors_;
    for (auto& [id, monitor] : snapshot) {
        if (!(monitor.mask & maskFor(current->type))) continue;
        if (!monitors_.count(id)) continue; // removed by an earlier handler
        current = (*monitor.handler)(*current);
        if (!current) return std::nullopt;
    }
    return current;
}

bool QtEventSource::eventFilter(QObject* watched, QEvent* event) {
    // Input reaches a top-level window first and is then handed to its
    // widgets; looking only at the window sees every event exactly once.
    if (!watched->isWindowType() || monitors_.empty()) return false;
    std::optional<Event> translated;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // An open popup menu of ours tracks its own keys, as menus do.
        if (static_cast<QWindow*>(watched)->type() == Qt::Popup) return false;
        translated = translate(static_cast<const QKeyEvent&>(*event));
        if (translated) translated->window = watched;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        translated = translateMouse(static_cast<const QMouseEvent&>(*event), watched);
        break;
    default: return false;
    }
    if (!translated) return false;
    return !dispatch(*translated).has_value();
}

} // namespace platform::qt
