#include "platform/linux/qt/KeySymbols.h"
#include "platform/linux/qt/QtEventSource.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>

#include <gtest/gtest.h>

#include "TestApp.h"

using namespace platform;

namespace {

// A key event as the X11 platform plugin builds it: X keycode = evdev + 8,
// X state before the key.
QKeyEvent key(QEvent::Type type, int qtKey, unsigned evdev, unsigned xState, const QString& text = {},
              bool repeat = false) {
    return QKeyEvent(type, qtKey, Qt::NoModifier, evdev + 8, 0, xState, text, repeat);
}

// What a translated key event says: its type, Carbon key code, characters
// ignoring modifiers, modifier flags and repeat mark.
using KeyFacts = std::tuple<EventType, int, std::string, std::uint64_t, bool>;
std::optional<KeyFacts> facts(const std::optional<Event>& e) {
    if (!e) return std::nullopt;
    return KeyFacts{e->type, e->keyCode, e->charactersIgnoringModifiers, e->modifierFlags, e->isARepeat};
}

} // namespace

TEST(QtEventSource, TranslatesKeysModifiersAndKeypad) {
    testApp();
    qt::QtEventSource source;

    // Alt+Tab; without an X keymap (offscreen) a modified key has no characters.
    EXPECT_EQ(facts(source.translate(key(QEvent::KeyPress, Qt::Key_Tab, 15, 0x08, "\t"))),
              KeyFacts(EventType::KeyDown, 48, "", ModifierOption, false));
    // Alt pressed: flags-changed with Option set although the X state before
    // the press had none; released: Option cleared.
    EXPECT_EQ(facts(source.translate(key(QEvent::KeyPress, Qt::Key_Alt, 56, 0))),
              KeyFacts(EventType::FlagsChanged, 58, "", ModifierOption, false));
    EXPECT_EQ(facts(source.translate(key(QEvent::KeyRelease, Qt::Key_Alt, 56, 0x08))),
              KeyFacts(EventType::FlagsChanged, 58, "", 0, false));
    // A keypad digit yields its digit and the numeric-pad flag, NumLock or not.
    EXPECT_EQ(facts(source.translate(key(QEvent::KeyPress, Qt::Key_PageDown, 81, 0))),
              KeyFacts(EventType::KeyDown, 85, "3", ModifierNumericPad, false));
    // Without an X keymap (offscreen), an unmodified key falls back to its text.
    EXPECT_EQ(facts(source.translate(key(QEvent::KeyPress, Qt::Key_7, 8, 0, "7", true))),
              KeyFacts(EventType::KeyDown, 26, "7", 0, true));
    EXPECT_FALSE(source.translate(key(QEvent::KeyPress, Qt::Key_ScrollLock, 70, 0)));
}

TEST(QtEventSource, MonitorsSeeWindowEventsOnceAndCanSwallowThem) {
    testApp();
    qt::QtEventSource source;
    QWindow window;

    int seen = 0;
    auto first = source.addLocalMonitor(EventMaskKeyDown, [&](const Event& e) -> std::optional<Event> {
        ++seen;
        if (e.keyCode == 53) return std::nullopt; // swallow Escape
        return e;
    });
    int flags = 0;
    source.addLocalMonitor(EventMaskFlagsChanged, [&](const Event& e) -> std::optional<Event> {
        ++flags;
        return e;
    });

    auto esc = key(QEvent::KeyPress, Qt::Key_Escape, 1, 0);
    EXPECT_TRUE(QCoreApplication::sendEvent(&window, &esc) && esc.isAccepted());
    EXPECT_EQ(seen, 1);

    auto a = key(QEvent::KeyPress, Qt::Key_A, 30, 0, "a");
    QCoreApplication::sendEvent(&window, &a);
    EXPECT_EQ(seen, 2);

    auto shift = key(QEvent::KeyPress, Qt::Key_Shift, 42, 0);
    QCoreApplication::sendEvent(&window, &shift);
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(flags, 1);

    // Events sent to plain objects (widgets below the window) are not seen again.
    QObject plain;
    auto b = key(QEvent::KeyPress, Qt::Key_B, 48, 0, "b");
    QCoreApplication::sendEvent(&plain, &b);
    EXPECT_EQ(seen, 2);

    source.removeMonitor(first);
    auto esc2 = key(QEvent::KeyPress, Qt::Key_Escape, 1, 0);
    QCoreApplication::sendEvent(&window, &esc2);
    EXPECT_EQ(seen, 2);
}

TEST(KeySymbols, CharactersFollowTheEventsLayoutGroup) {
    platform::qt::KeySymbols symbols("us,de");
    ASSERT_TRUE(symbols.valid());
    constexpr unsigned kKeyY = 21 + 8, kKeyOne = 2 + 8; // evdev codes + 8
    EXPECT_EQ(symbols.unmodifiedCharacters(kKeyY, 0), "y");
    EXPECT_EQ(symbols.unmodifiedCharacters(kKeyY, 1), "z");
    EXPECT_EQ(symbols.unmodifiedCharacters(kKeyOne, 1), "1");
    EXPECT_EQ(symbols.unmodifiedCharacters(kKeyY, 3), "y"); // no such group: the first
}
