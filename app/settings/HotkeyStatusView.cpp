#include "app/settings/HotkeyStatusView.h"

#include "app/core/Preferences.h"

#include "Hotkeys/core/Name.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace app {

namespace {

std::function<void()>& changeObserver() {
    static std::function<void()> observer;
    return observer;
}

QString html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

QLabel* wrapped(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    label->setTextFormat(Qt::PlainText);
    label->setMaximumWidth(520);
    return label;
}

} // namespace

HotkeyStatusView::HotkeyStatusView(HotkeyBinding& hotkeys, platform::ShortcutHost* host,
                                   platform::NotificationCenter& center, QWidget* parent)
    : QWidget(parent), hotkeys_(hotkeys), host_(host),
      shortcutChanges_(center, center.addObserver(Hotkeys::ShortcutByNameDidChangeNotification, nullptr,
                                                  [this](const platform::Notification&) {
                                                      error_.clear();
                                                      refresh();
                                                  })) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    headline_ = new QLabel(this);
    headline_->setTextFormat(Qt::RichText);
    headline_->setWordWrap(true);
    headline_->setAlignment(Qt::AlignHCenter);
    column->addWidget(headline_, 0, Qt::AlignHCenter);
    detail_ = wrapped(this);
    column->addWidget(detail_, 0, Qt::AlignHCenter);
    configLine_ = wrapped(this);
    configLine_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    configLine_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    column->addWidget(configLine_, 0, Qt::AlignHCenter);
    refresh();
}

void HotkeyStatusView::refresh() {
    const auto stored = hotkeys_.storedShortcut(kShowFloatingPanel);
    std::string headline, detail, line, button;
    if (!stored) {
        headline = "No global hotkey is set: choose one below.";
    } else {
        const platform::ShortcutKeys keys{stored->keyCode, stored->carbonModifiers, stored->description};
        const std::string hotkey = "<b><u>" + html(keys.displayName).toStdString() + "</u></b>";
        const std::string simply = "Simply press the Global hotkey: " + hotkey;
        const std::string program = host_ && !host_->name().empty() ? host_->name() : std::string();
        const auto taken = host_ ? host_->takenOver() : std::nullopt;
        if (!host_ || !host_->runsZelvoShow()) {
            if (hotkeys_.isAvailable(kShowFloatingPanel)) {
                headline = simply;
                if (taken) {
                    detail = "Zelvo took " + taken->displayName + " over from " + program + ".";
                    button = "Give " + taken->displayName + " Back to " + program;
                }
            } else {
                headline = hotkey + " is used by " + html(program.empty() ? "another program" : program).toStdString() +
                           ", so Zelvo cannot have it.";
                detail = host_ ? host_->takeOverDescription(keys) : std::string();
                // Changed settings the program did not read are given back first.
                if (host_ && host_->canTakeOver(keys))
                    button = taken ? "Give " + taken->displayName + " Back to " + program
                                   : "Take " + keys.displayName + " Over from " + program;
                detail += (detail.empty() ? "" : " ") + std::string("Or choose another shortcut below.");
            }
        } else if (host_->canTakeOver(keys)) {
            if (taken && *taken == keys) {
                headline = simply;
                detail = "Zelvo binds " + keys.displayName + " in " + program + " at every start.";
                button = "Stop Binding " + keys.displayName + " in " + program;
            } else {
                headline = html(program).toStdString() + " decides what " + hotkey + " does.";
                detail = host_->takeOverDescription(keys);
                button = "Bind " + keys.displayName + " in " + program;
            }
        } else if (line = host_->configLine(keys); !line.empty()) {
            headline = simply;
            detail = program + " shows Zelvo for it once told so. " + host_->takeOverDescription(keys);
        } else {
            headline = "This desktop lets no program set a global shortcut by itself.";
            detail = "In your desktop's keyboard settings, bind " + keys.displayName + " to the command:";
            line = host_->showCommand();
        }
    }
    if (!error_.empty()) detail = error_;
    headline_->setText(QString::fromStdString(headline));
    detail_->setText(QString::fromStdString(detail));
    detail_->setVisible(!detail.empty());
    configLine_->setText(QString::fromStdString(line));
    configLine_->setVisible(!line.empty());
    // The button exists only while there is something to do: a hidden one
    // would still be listed, nameless, to screen readers.
    if (button.empty() && action_) {
        delete action_;
        action_ = nullptr;
    } else if (!button.empty()) {
        if (!action_) {
            action_ = new QPushButton(this);
            connect(action_, &QPushButton::clicked, this, [this] { QTimer::singleShot(0, this, [this] { act(); }); });
            layout()->addWidget(action_);
            layout()->setAlignment(action_, Qt::AlignHCenter);
        }
        action_->setText(QString::fromStdString(button));
    }
    if (changeObserver()) changeObserver()();
}

void HotkeyStatusView::setChangeObserver(std::function<void()> observer) { changeObserver() = std::move(observer); }

void HotkeyStatusView::act() {
    const auto stored = hotkeys_.storedShortcut(kShowFloatingPanel);
    if (!host_ || !stored) return;
    const platform::ShortcutKeys keys{stored->keyCode, stored->carbonModifiers, stored->description};
    const auto taken = host_->takenOver();
    const bool grabbing = !host_->runsZelvoShow();
    if (taken && (grabbing || *taken == keys)) {
        // Zelvo lets go first, so that the program can take the keys back.
        if (grabbing) hotkeys_.release(kShowFloatingPanel);
        error_ = host_->giveBack();
        if (!error_.empty() && grabbing) hotkeys_.retry(kShowFloatingPanel);
    } else {
        error_ = host_->takeOver(keys);
        // The window manager lets go once it has read its new settings.
        if (error_.empty() && grabbing) waitForHotkey(20);
    }
    refresh();
}

void HotkeyStatusView::waitForHotkey(int attemptsLeft) {
    hotkeys_.retry(kShowFloatingPanel);
    refresh();
    if (hotkeys_.isAvailable(kShowFloatingPanel) || attemptsLeft <= 1) return;
    QTimer::singleShot(100, this, [this, attemptsLeft] { waitForHotkey(attemptsLeft - 1); });
}

} // namespace app
