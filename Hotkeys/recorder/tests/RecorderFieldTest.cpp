#include "Hotkeys/recorder/Recorder.h"
#include "Hotkeys/recorder/RecorderField.h"

#include "Hotkeys/core/tests/Events.h"
#include "Hotkeys/core/tests/FakeMenu.h"
#include "Hotkeys/testing/HotkeysFixture.h"
#include "platform/linux/qt/QtEventSource.h"
#include "platform/linux/qt/testing/TestApplication.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QLabel>
#include <QVBoxLayout>
#include <QWindow>

#include <gtest/gtest.h>

using namespace Hotkeys;

namespace {

struct ScriptedSystemHotKeys : SymbolicHotKeys {
    std::vector<std::pair<std::int64_t, std::int64_t>> keys;
    std::optional<platform::Value> copySymbolicHotKeys() const override {
        platform::Value::Array list;
        for (auto [code, mods] : keys)
            list.push_back(platform::Value::Dictionary{{"kHISymbolicHotKeyEnabled", true},
                                                       {"kHISymbolicHotKeyCode", code},
                                                       {"kHISymbolicHotKeyModifiers", mods}});
        return platform::Value(list);
    }
};

platform::Event keyDown(std::uint16_t code, std::uint64_t flags = 0) {
    return makeEvent(platform::EventType::KeyDown, code, flags);
}

class RecorderFieldTest : public HotkeysTest {
protected:
    void addServices(Services& s) override { s.symbolicHotKeys = &systemKeys; }

    void SetUp() override {
        platform::qt::testApplication();
        HotkeysTest::SetUp();
        // A name with a default stores it when made with services in place.
        name = Name{"showFloatingPanel", Shortcut(Key::tab, EventModifiers(platform::ModifierOption))};
        RecorderField::setBeeper([this] { ++beeps; });
        RecorderField::setAlertPresenter([this](QWidget* window, const RecorderAlert& alert) {
            alerts.push_back(alert);
            alertWindows.push_back(window);
            return alertResponse;
        });
        RecorderField::setMainMenuProvider([this] { return &menu; });

        addKeyDownHandler(name, [this] { ++actions; });
        events = std::make_unique<platform::qt::QtEventSource>();
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        other = new QLabel("elsewhere");
        layout->addWidget(other);
        field = new RecorderField(
            name, [this](std::optional<Shortcut> s) { changes.push_back(s); }, *events);
        layout->addWidget(field);
        window->resize(300, 200);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
    }
    void TearDown() override {
        window.reset();
        events.reset();
        RecorderField::setBeeper(nullptr);
        RecorderField::setAlertPresenter(nullptr);
        RecorderField::setMainMenuProvider(nullptr);
        HotkeysTest::TearDown();
    }

    void startRecording() {
        field->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(field->hasFocus());
        ASSERT_TRUE(field->isRecording());
    }
    std::optional<Shortcut> stored() const { return storedShortcut(name); }

    ScriptedSystemHotKeys systemKeys;
    FakeMenu menu;
    Name name{"showFloatingPanel", Shortcut(Key::tab, EventModifiers(platform::ModifierOption))};

    std::unique_ptr<platform::qt::QtEventSource> events;
    std::unique_ptr<QWidget> window;
    QLabel* other = nullptr;
    RecorderField* field = nullptr;

    int beeps = 0, actions = 0;
    int alertResponse = RecorderField::kFirstButtonResponse;
    std::vector<RecorderAlert> alerts;
    std::vector<QWidget*> alertWindows;
    std::vector<std::optional<Shortcut>> changes;
};

TEST_F(RecorderFieldTest, FocusSwitchesBetweenIdleAndRecording) {
    EXPECT_EQ(field->text().toStdString(), "Alt+Tab");
    EXPECT_TRUE(field->clearButtonVisible());
    EXPECT_EQ(field->placeholderText(), "Record Shortcut");
    EXPECT_FALSE(handlingPaused());

    // The hot key works while idle...
    service.press(48, kOption);
    EXPECT_EQ(actions, 1);

    startRecording();
    EXPECT_EQ(field->placeholderText(), "Press Shortcut");
    EXPECT_TRUE(handlingPaused());
    // ...and does nothing while the field records.
    service.press(48, kOption);
    EXPECT_EQ(actions, 1);

    other->setFocusPolicy(Qt::StrongFocus);
    other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(field->isRecording());
    EXPECT_EQ(field->placeholderText(), "Record Shortcut");
    EXPECT_FALSE(handlingPaused());
    service.press(48, kOption);
    EXPECT_EQ(actions, 2);
}

TEST_F(RecorderFieldTest, TabPressedInTheWindowMovesOnToTheNextControl) {
    auto* next = new QPushButton(QStringLiteral("next"));
    window->layout()->addWidget(next);
    startRecording();
    // Tab as X delivers it: keycode 23 (evdev 15), no modifiers.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, 23, 0x17, 0, QStringLiteral("\t"));
    QApplication::sendEvent(window->windowHandle(), &tab);
    QApplication::processEvents();
    EXPECT_TRUE(next->hasFocus()) << "the focus goes on in reading order, not back to the first control";
    EXPECT_FALSE(field->isRecording());
    EXPECT_FALSE(handlingPaused());
}

TEST_F(RecorderFieldTest, RecordsAKeyPressedInTheWindow) {
    startRecording();
    // Control+Alt+K as X delivers it: keycode 45 (evdev 37), state Control|Mod1.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, 45, 0, 0x4 | 0x8,
                    QStringLiteral("k"));
    QApplication::sendEvent(window->windowHandle(), &press);
    QApplication::processEvents();

    EXPECT_EQ(field->text().toStdString(), "Ctrl+Alt+K");
    ASSERT_TRUE(stored());
    EXPECT_EQ(*stored(), Shortcut(Key::k.rawValue, kControl | kOption));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], stored());
    EXPECT_FALSE(field->hasFocus());
    EXPECT_FALSE(handlingPaused());
    // The new shortcut is the registered hot key at once.
    service.press(Key::k.rawValue, kControl | kOption);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(beeps, 0);
}

TEST_F(RecorderFieldTest, UnusablePressesBeepAndKeepRecording) {
    systemKeys.keys = {{Key::f12.rawValue, 0}};
    startRecording();
    for (auto event : {keyDown(Key::a.rawValue), keyDown(Key::a.rawValue, platform::ModifierShift),
                       keyDown(Key::space.rawValue), keyDown(Key::returnKey.rawValue, platform::ModifierShift),
                       keyDown(Key::one.rawValue, platform::ModifierCapsLock)}) {
        EXPECT_FALSE(field->handleRecordedEvent(event));
    }
    EXPECT_EQ(beeps, 5);
    EXPECT_TRUE(field->isRecording());
    EXPECT_EQ(field->text().toStdString(), "Alt+Tab");
    EXPECT_TRUE(changes.empty());

    // Function keys are usable alone or with Shift; F12 alone skips the
    // system list even though it holds F12.
    EXPECT_FALSE(field->handleRecordedEvent(keyDown(Key::f12.rawValue)));
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(stored(), Shortcut(Key::f12.rawValue, 0));
    startRecording();
    EXPECT_FALSE(field->handleRecordedEvent(keyDown(Key::f5.rawValue, platform::ModifierShift)));
    EXPECT_EQ(stored(), Shortcut(Key::f5.rawValue, kShift));
    EXPECT_EQ(beeps, 5);
}

// Taken: in the system's list, or grabbed by another program (a trial
// grab finds it).
TEST_F(RecorderFieldTest, SystemConflictAsksAndCanBeForced) {
    systemKeys.keys = {{Key::f5.rawValue, 0}};
    service.takeCombination(Key::space.rawValue, kCommand);
    startRecording();
    EXPECT_FALSE(field->handleRecordedEvent(keyDown(Key::f5.rawValue)));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message,
              "This keyboard shortcut cannot be used as it's already a system-wide keyboard shortcut.");
    EXPECT_FALSE(alerts[0].informativeText.empty());
    EXPECT_EQ(alerts[0].buttons, (std::vector<std::string>{"OK", "Use Anyway"}));
    EXPECT_EQ(alertWindows[0], window.get());
    EXPECT_EQ(stored(), Shortcut(Key::tab.rawValue, kOption));
    EXPECT_TRUE(field->hasFocus()) << "the field takes the focus back after the alert";
    EXPECT_TRUE(field->isRecording());

    alertResponse = RecorderField::kSecondButtonResponse;
    EXPECT_FALSE(field->handleRecordedEvent(keyDown(Key::space.rawValue, platform::ModifierCommand)));
    EXPECT_EQ(alerts.size(), 2u);
    EXPECT_EQ(stored(), Shortcut(Key::space.rawValue, kCommand));
    EXPECT_EQ(field->text().toStdString(), "Super+Space");
    EXPECT_FALSE(field->isRecording());
}

TEST_F(RecorderFieldTest, MenuConflictIsRefused) {
    menu.add(",", platform::ModifierCommand, "Settings");
    startRecording();
    EXPECT_FALSE(field->handleRecordedEvent(keyDown(Key::comma.rawValue, platform::ModifierCommand)));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].message.find("“Settings”"), std::string::npos) << alerts[0].message;
    EXPECT_TRUE(alerts[0].buttons.empty());
    EXPECT_EQ(stored(), Shortcut(Key::tab.rawValue, kOption));
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(field->hasFocus());
    EXPECT_TRUE(field->isRecording());
}

TEST_F(RecorderFieldTest, EscapeTabAndDeleteEndOrClear) {
    startRecording();
    EXPECT_FALSE(field->handleRecordedEvent(keyDown(Key::escape.rawValue)));
    EXPECT_FALSE(field->isRecording());
    EXPECT_EQ(stored(), Shortcut(Key::tab.rawValue, kOption));

    startRecording();
    auto tab = field->handleRecordedEvent(keyDown(Key::tab.rawValue));
    ASSERT_TRUE(tab) << "Tab goes on to move the focus";
    EXPECT_FALSE(field->isRecording());
    field->clearFocus(); // what the Tab going on does (nothing delivers it here)

    startRecording();
    EXPECT_FALSE(field->handleRecordedEvent(keyDown(Key::deleteKey.rawValue)));
    EXPECT_EQ(field->text(), "");
    EXPECT_FALSE(field->clearButtonVisible());
    EXPECT_FALSE(stored());
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_FALSE(changes[0]);
    EXPECT_TRUE(field->isRecording()) << "the field stays focused and records again";
    // A cleared shortcut is no hot key any more.
    service.press(48, kOption);
    EXPECT_EQ(actions, 0);
}

TEST_F(RecorderFieldTest, ClicksOutsideEndRecordingAndReachTheirTarget) {
    startRecording();
    const QPoint topLeft = field->mapTo(window.get(), QPoint(0, 0));
    auto click = [&](QPoint at) {
        auto e = makeEvent(platform::EventType::LeftMouseUp);
        e.x = at.x();
        e.y = at.y();
        e.window = window->windowHandle();
        return field->handleRecordedEvent(e);
    };
    EXPECT_FALSE(click(topLeft + QPoint(5, 5))) << "a click on the field is swallowed";
    EXPECT_FALSE(click(topLeft + QPoint(-3, -3))) << "3 points around the field still count as the field";
    EXPECT_TRUE(field->isRecording());
    EXPECT_TRUE(click(topLeft + QPoint(-5, 2)));
    EXPECT_FALSE(field->isRecording());

    startRecording();
    // A click in another window: no window of ours.
    EXPECT_TRUE(field->handleRecordedEvent(makeEvent(platform::EventType::RightMouseUp)));
    EXPECT_FALSE(field->isRecording());
}

TEST_F(RecorderFieldTest, TextFollowsTheStoreAndTheName) {
    storeShortcut(Shortcut(Key::j.rawValue, kControl), name);
    EXPECT_EQ(field->text().toStdString(), "Ctrl+J");

    // Same raw value: no refresh, even though the store changed underneath.
    defaults.set(name.userDefaultsKey(), Shortcut(Key::l.rawValue, kControl).toJson());
    field->setShortcutName(Name("showFloatingPanel"));
    EXPECT_EQ(field->text().toStdString(), "Ctrl+J");

    Name other("other");
    field->setShortcutName(other);
    EXPECT_EQ(field->text(), "");
    EXPECT_FALSE(field->clearButtonVisible());
    storeShortcut(Shortcut(Key::j.rawValue, kControl), name); // not ours any more
    EXPECT_EQ(field->text(), "");
}

TEST_F(RecorderFieldTest, DestroyingARecordingFieldResumesShortcutHandling) {
    startRecording();
    ASSERT_TRUE(handlingPaused());
    delete field;
    EXPECT_FALSE(handlingPaused());
    service.press(48, kOption);
    EXPECT_EQ(actions, 1);
}

TEST_F(RecorderFieldTest, RecorderLabelForms) {
    Recorder titled(name, nullptr, *events, QStringLiteral("Global hotkey:"));
    ASSERT_TRUE(titled.hasLabel());
    EXPECT_EQ(qobject_cast<QLabel*>(titled.label())->text(), "Global hotkey:");
    EXPECT_EQ(titled.field()->text().toStdString(), "Alt+Tab");
    Recorder bare(name, nullptr, *events);
    EXPECT_FALSE(bare.hasLabel());
    EXPECT_EQ(titled.field()->sizeHint().width(), 130);
}

} // namespace
