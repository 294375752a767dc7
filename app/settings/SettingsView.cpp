#include "app/settings/SettingsView.h"

#include "app/core/AppDelegate.h"
#include "app/core/Preferences.h"
#include "app/settings/HotkeyStatusView.h"
#include "app/settings/StartAtLoginToggle.h"
#include "app/settings/TelemetryToggle.h"
#include "app/views/Accessibility.h"

#include "Hotkeys/core/Name.h"
#include "Hotkeys/recorder/Recorder.h"
#include "platform/ApplicationId.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace app {

namespace {

QFont boldTitle3(QFont font) {
    font.setPointSizeF(font.pointSizeF() * 1.25);
    font.setBold(true);
    return font;
}

QLabel* paragraph(const QString& text, int width = 0) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    label->setTextFormat(Qt::PlainText);
    if (width) label->setFixedWidth(width);
    return label;
}

// A checkable option of the sort picker; the pair looks like one segmented
// control.
QPushButton* segment(const QString& title, int width) {
    auto* button = new QPushButton(title);
    button->setCheckable(true);
    // Checkable and exclusive: assistive technology sees a radio button (the
    // button group decides the exclusivity itself).
    button->setAutoExclusive(true);
    button->setMinimumWidth(width);
    return button;
}

} // namespace

SettingsView::SettingsView(SettingsEnvironment environment, QWidget* parent)
    : QWidget(parent), env_(std::move(environment)) {
    auto& defaults = env_.delegate.defaults();
    auto* column = new QVBoxLayout(this);
    column->setAlignment(Qt::AlignHCenter);

    // Close bar.
    auto* closeBar = new QHBoxLayout();
    closeBar->addStretch();
    auto* close = new QToolButton();
    close->setText(QStringLiteral("✕"));
    close->setToolTip(QStringLiteral("Close Settings"));
    close->setAccessibleName(QStringLiteral("Close"));
    close->setFixedSize(18, 18);
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::NoFocus);
    close->setStyleSheet(QStringLiteral("QToolButton { color: white; background: #e0443e; border-radius: 9px; "
                                        "font-weight: bold; border: none; }"));
    connect(close, &QToolButton::clicked, this, [this] { env_.delegate.closeSettings(); });
    closeButton_ = close;
    closeBar->addWidget(close);
    column->addLayout(closeBar);

    // Application icon and title.
    auto* icon = new QLabel();
    icon->setAlignment(Qt::AlignHCenter);
    QIcon appIcon = QApplication::windowIcon();
    if (appIcon.isNull()) appIcon = QIcon::fromTheme(QString::fromUtf8(platform::kApplicationId));
    if (!appIcon.isNull()) icon->setPixmap(appIcon.pixmap(64, 64));
    icon->setAccessibleName(QStringLiteral("Zelvo"));
    column->addWidget(icon, 0, Qt::AlignHCenter);

    auto* title = paragraph(QStringLiteral("Welcome to Zelvo"), 400);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    title->setFont(titleFont);
    column->addWidget(title, 0, Qt::AlignHCenter);

    // Body.
    auto* body = new QVBoxLayout();
    body->setSpacing(10);
    auto* intro = paragraph(QStringLiteral(
        "How many times a day do you find yourself pressing Alt+Tab and then endlessly clicking Tab until you "
        "locate the desired application? How much of your valuable time is spent on such maneuvers?"));
    QFont headline = intro->font();
    headline.setBold(true);
    intro->setFont(headline);
    body->addWidget(intro);
    body->addWidget(paragraph(QStringLiteral(
        "Zelvo is designed to simplify and speed up the process of switching between applications on your computer. "
        "Forget about Alt+Tab+Tab+Tab+Tab!")));
    hotkeyStatus_ = new HotkeyStatusView(env_.hotkeys, env_.shortcutHost, env_.center);
    body->addWidget(hotkeyStatus_, 0, Qt::AlignHCenter);
    body->addWidget(
        paragraph(QStringLiteral(" and then select the number of the desired application. It's that easy and quick!")));

    // Sort picker.
    auto* sortRow = new QHBoxLayout();
    sortRow->setContentsMargins(0, 0, 0, 0);
    auto* sortTitle = new QLabel(QStringLiteral("Sort Applications by:"));
    sortTitle->setFont(boldTitle3(sortTitle->font()));
    sortRow->addStretch();
    sortRow->addWidget(sortTitle);
    sortPicker_ = new QButtonGroup(this);
    sortPicker_->setExclusive(true);
    auto* byActivation = segment(QStringLiteral("Activation Time"), 50);
    auto* byName = segment(QStringLiteral("Name"), 100);
    sortPicker_->addButton(byActivation, 0);
    sortPicker_->addButton(byName, 1);
    sortRow->addWidget(byActivation);
    sortRow->addWidget(byName);
    sortRow->addStretch();
    const auto sorting = defaults.object(kSortingCriterion);
    const int sortValue = sorting ? static_cast<int>(sorting->integerValue()) : 1;
    if (auto* chosen = sortPicker_->button(sortValue == 0 ? 0 : 1)) chosen->setChecked(true);
    connect(sortPicker_, &QButtonGroup::idClicked, this, [this](int id) { sortingChanged(id); });
    auto* sortBox = new QWidget();
    sortBox->setLayout(sortRow);
    views::makeAccessibleGroup(sortBox, QStringLiteral("Sort Applications by"));
    body->addWidget(sortBox);

    // Which desktops' applications the switcher lists.
    auto* desktopRow = new QHBoxLayout();
    desktopRow->setContentsMargins(0, 0, 0, 0);
    auto* desktopTitle = new QLabel(QStringLiteral("Show applications from:"));
    desktopTitle->setFont(boldTitle3(desktopTitle->font()));
    desktopRow->addStretch();
    desktopRow->addWidget(desktopTitle);
    desktopPicker_ = new QButtonGroup(this);
    desktopPicker_->setExclusive(true);
    auto* allDesktops = segment(QStringLiteral("All desktops"), 100);
    auto* thisDesktop = segment(QStringLiteral("This desktop only"), 100);
    desktopPicker_->addButton(allDesktops, 0);
    desktopPicker_->addButton(thisDesktop, 1);
    desktopRow->addWidget(allDesktops);
    desktopRow->addWidget(thisDesktop);
    desktopRow->addStretch();
    const auto shown = defaults.object(kShowApplicationsFrom);
    desktopPicker_->button(shown && shown->integerValue() == 1 ? 1 : 0)->setChecked(true);
    connect(desktopPicker_, &QButtonGroup::idClicked, this,
            [this](int id) { env_.delegate.defaults().set(kShowApplicationsFrom, static_cast<std::int64_t>(id)); });
    auto* desktopBox = new QWidget();
    desktopBox->setLayout(desktopRow);
    views::makeAccessibleGroup(desktopBox, QStringLiteral("Show applications from"));
    body->addWidget(desktopBox);

    // Release behaviour.
    doNotHide_ = new QCheckBox(QStringLiteral("Do not hide when hotkey is released"));
    doNotHide_->setFont(boldTitle3(doNotHide_->font()));
    // Reachable with Tab like every other setting: without it the keyboard
    // could not change this one.
    doNotHide_->setFocusPolicy(Qt::StrongFocus);
    doNotHide_->setChecked(defaults.boolForKey(kDoNotHideWhenHotkeyIsReleased));
    connect(doNotHide_, &QCheckBox::toggled, this, [this](bool on) { doNotHideChanged(on); });
    body->addWidget(doNotHide_, 0, Qt::AlignHCenter);
    body->addWidget(paragraph(QStringLiteral("Keeps the window on the screen after the hotkey is released, until "
                                             "another application is selected or focus is moved to another window."),
                              600 - 40),
                    0, Qt::AlignHCenter);

    // The hot key.
    Hotkeys::Name name(kShowFloatingPanel,
                       Hotkeys::Shortcut(Hotkeys::Key::tab, Hotkeys::EventModifiers(platform::ModifierOption)));
    // "&G" lets the keyboard reach the recorder with Alt+G.
    auto* hotkeyLabel = new QLabel(QStringLiteral("&Global hotkey:"));
    hotkeyLabel->setFont(boldTitle3(hotkeyLabel->font()));
    recorder_ = new Hotkeys::Recorder(name, nullptr, env_.events, hotkeyLabel);
    body->addWidget(recorder_, 0, Qt::AlignHCenter);

    // Buttons.
    auto* buttons = new QHBoxLayout();
    auto addButton = [&](const QString& text, auto action) {
        auto* button = new QPushButton(text);
        button->setMinimumWidth(104);
        connect(button, &QPushButton::clicked, this, action);
        buttons->addWidget(button);
    };
    addButton(QStringLiteral("Send Feedback"), [this] { openPage(env_.deployment.contactURL); });
    buttons->addSpacing(8);
    addButton(QStringLiteral("More Apps"), [this] { openPage(env_.deployment.websiteURL); });
    buttons->addSpacing(8);
    addButton(QStringLiteral("Close Settings"), [this] { env_.delegate.closeSettings(); });
    body->addLayout(buttons);

    // Start at login and the taskbar entry.
    auto* toggles = new QHBoxLayout();
    startAtLogin_ = new StartAtLoginToggle(QStringLiteral(" Launch at login"));
    startAtLogin_->setFont(boldTitle3(startAtLogin_->font()));
    startAtLogin_->setAccessibleName(QStringLiteral("Launch at login"));
    toggles->addWidget(startAtLogin_);
    toggles->addStretch();
    showInDock_ = new QCheckBox(QStringLiteral("Show in the taskbar"));
    showInDock_->setToolTip(QStringLiteral("Give Zelvo an entry in the taskbar"));
    showInDock_->setFont(boldTitle3(showInDock_->font()));
    const auto dock = defaults.object(kShowInDock);
    showInDock_->setChecked(!dock || dock->asBool().value_or(true));
    connect(showInDock_, &QCheckBox::toggled, this, [this](bool on) { showInDockChanged(on); });
    toggles->addWidget(showInDock_);
    auto* toggleBox = new QWidget();
    toggleBox->setLayout(toggles);
    toggleBox->setFixedWidth(400);
    body->addWidget(toggleBox, 0, Qt::AlignHCenter);
    telemetry_ = new TelemetryToggle(TelemetrySwitch::shared());
    body->addWidget(telemetry_, 0, Qt::AlignHCenter);

    auto* bodyBox = new QWidget();
    bodyBox->setLayout(body);
    bodyBox->setMaximumWidth(600);
    column->addWidget(bodyBox, 0, Qt::AlignHCenter);
    column->addStretch();
}

QAbstractButton* SettingsView::button(const QString& title) const {
    for (auto* b : findChildren<QAbstractButton*>())
        if (b->text() == title) return b;
    return nullptr;
}

void SettingsView::sortingChanged(int value) {
    env_.delegate.defaults().set(kSortingCriterion, static_cast<std::int64_t>(value));
}

void SettingsView::doNotHideChanged(bool value) { env_.delegate.defaults().set(kDoNotHideWhenHotkeyIsReleased, value); }

void SettingsView::showInDockChanged(bool value) {
    auto& defaults = env_.delegate.defaults();
    defaults.set(kShowInDock, value);
    auto stored = defaults.object(kShowInDock);
    const bool regular = stored && stored->asBool() == std::optional<bool>(true);
    env_.shell.setActivationPolicy(regular ? platform::ActivationPolicy::Regular
                                           : platform::ActivationPolicy::Accessory);
}

void SettingsView::openPage(const std::string& url) {
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    if (url.empty() || !parsed.isValid() || parsed.scheme().isEmpty()) return;
    env_.workspace.openURL(url);
}

} // namespace app
