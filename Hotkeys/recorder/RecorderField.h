#pragma once

#include "Hotkeys/core/LocalEventMonitor.h"
#include "Hotkeys/core/Name.h"
#include "platform/NotificationCenter.h"

#include <QLineEdit>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;

namespace Hotkeys {

class Menu;

// A warning with one or more buttons, as the recorder asks it.
struct RecorderAlert {
    std::string message;
    std::string informativeText;
    std::vector<std::string> buttons; // empty: one default "OK" button
};

// The control with which the user sets the shortcut of one Name: a
// single-line field showing the shortcut's text with a clear button. Taking
// the keyboard focus starts recording: the next usable key press becomes the
// shortcut, is stored and reported through onChange. While it records, all
// global shortcut handling is paused, so pressing the old shortcut does not
// trigger its action. Main thread only.
class RecorderField : public QLineEdit {
public:
    using OnChange = std::function<void(std::optional<Shortcut>)>;
    // Shows the alert (as a sheet of `window` when there is one) and returns
    // the response: 1000 for the first button, 1001 for the second, ...
    using AlertPresenter = std::function<int(QWidget* window, const RecorderAlert& alert)>;

    static constexpr double minimumWidth = 130.0;
    static constexpr int kFirstButtonResponse = 1000;
    static constexpr int kSecondButtonResponse = 1001;

    // `events` is the application's local event source (the monitor that
    // sees key presses while recording is added there).
    RecorderField(Name name, OnChange onChange, platform::LocalEventSource& events, QWidget* parent = nullptr);
    ~RecorderField() override;

    const Name& shortcutName() const { return shortcutName_; }
    void setShortcutName(Name name);

    // Rules applied to each event seen while recording; returns the event to
    // let it continue, nothing to swallow it.
    std::optional<platform::Event> handleRecordedEvent(const platform::Event& event);

    bool isRecording() const { return eventMonitor_ != nullptr; }
    bool canBecomeKey() const { return canBecomeKey_; }
    bool clearButtonVisible() const;
    // Presses the clear button, as a click on it does.
    void pressClearButton();

    QSize sizeHint() const override;

    // Process-wide hooks of the platform services the control uses.
    static void setAlertPresenter(AlertPresenter presenter); // nothing: QMessageBox
    static void setBeeper(std::function<void()> beeper);     // nothing: QApplication::beep
    // The application's main menu, checked for conflicting shortcuts.
    static void setMainMenuProvider(std::function<const Menu*()> provider);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showStoredShortcut();
    void updateClearButton();
    void startRecording();
    void finishRecording();
    void controlTextDidChange();
    void resignFocus();
    void takeFocus();
    void deferKeyFocus();
    void attachToWindow();
    void beep();
    int presentAlert(const RecorderAlert& alert);
    bool liesOnClearButton(QPoint point) const;

    OnChange onChange_;
    bool canBecomeKey_ = false;
    std::unique_ptr<LocalEventMonitor> eventMonitor_;
    platform::Subscription shortcutsNameChangeObserver_;
    QPointer<QWidget> observedWindow_; // the window whose key changes we watch
    Name shortcutName_;
    QAction* cancelButton_ = nullptr;
    platform::LocalEventSource& events_;
};

} // namespace Hotkeys
