#include "app/core/AppDelegate.h"

#include "app/core/KeyCodes.h"

#include <algorithm>
#include <cctype>

namespace app {

using platform::Event;

namespace {

constexpr int kShowItemTag = 1000;
constexpr const char* kShowItemTitle = "Show Zelvo";
constexpr const char* kShowItemTitlePrefix = "Show Zelvo           "; // the word, then 11 spaces
constexpr const char* kStatusImageName = "StatusBarIcon";
constexpr const char* kMenuTitle = "Zelvo";
constexpr double kMinimumPanelWidth = 200;
constexpr double kActivationDelay = 0.1; // digit -> activation; pinned re-show
constexpr double kWelcomeToPanelDelay = 3.0;
constexpr double kFirstUpdateCheckDelay = 40.0;
constexpr double kUpdateCheckPeriod = 86400.0;

// Option+Tab: Carbon key code 48 with optionKey.
constexpr HotkeyShortcut kDefaultShowFloatingPanelShortcut{48, 0x0800};

bool isDigitRowOrKeypad(std::uint16_t code) { return (code >= 18 && code <= 29) || (code >= 82 && code <= 92); }

} // namespace

AppDelegate::AppDelegate(AppServices services)
    : services_(std::move(services)),
      appList_(AppList::Environment{services_.workspace, services_.notificationCenter, services_.defaults,
                                    services_.scheduler, services_.bundleIdentifier}),
      alive_(std::make_shared<AppDelegate*>(this)) {
    // One default for both readers of this key, the settings view and the
    // release handling: registered before any view exists.
    services_.defaults.registerDefaults({{kDoNotHideWhenHotkeyIsReleased, kDoNotHideWhenHotkeyIsReleasedDefault}});
}

AppDelegate::~AppDelegate() {
    for (auto id : monitors_) services_.eventSource.removeMonitor(id);
    if (updateTimer_) updateTimer_->cancel();
    if (pinObservation_) services_.defaults.removeObservation(*pinObservation_);
    // The panels' views observe the list and the delegate: they go first.
    panelWindow_.reset();
    settingsPanel_.reset();
    hostingView_.reset();
}

void AppDelegate::after(double seconds, std::function<void()> task) {
    std::weak_ptr<AppDelegate*> alive = alive_;
    services_.scheduler.mainQueue().after(platform::Seconds(seconds), [alive, task = std::move(task)] {
        if (alive.lock()) task();
    });
}

void AppDelegate::async(std::function<void()> task) {
    std::weak_ptr<AppDelegate*> alive = alive_;
    services_.scheduler.mainQueue().async([alive, task = std::move(task)] {
        if (alive.lock()) task();
    });
}

bool AppDelegate::isPinned() const { return services_.defaults.boolForKey(kIsPinned); }

// --- Launch -----------------------------------------------------------------

void AppDelegate::applicationDidFinishLaunching() {
    auto& defaults = services_.defaults;

    hostingView_ = services_.views.makeSwitcherView(*this, appList_, SwitcherViewOptions{32, true, 0});
    panelWindow_ = createPanel();

    if (!defaults.storedObject(kShowInDock)) defaults.set(kShowInDock, true);
    auto showInDock = defaults.storedObject(kShowInDock);
    bool regular = showInDock && showInDock->asBool().value_or(false);
    services_.shell.setActivationPolicy(regular ? platform::ActivationPolicy::Regular
                                                : platform::ActivationPolicy::Accessory);

    std::weak_ptr<AppDelegate*> alive = alive_;
    services_.hotkeys.addKeyDownHandler(kShowFloatingPanel, kDefaultShowFloatingPanelShortcut, [this, alive] {
        if (alive.lock()) presentSwitcherPanel();
    });
    // Removed again only when the delegate goes, so they never outlive it.
    monitors_.push_back(services_.eventSource.addLocalMonitor(
        platform::EventMaskKeyDown, [this](const Event& event) { return handleKeyDown(event); }));
    monitors_.push_back(services_.eventSource.addLocalMonitor(
        platform::EventMaskFlagsChanged, [this](const Event& event) { return handleFlagsChanged(event); }));

    auto& center = services_.notificationCenter;
    resizeSubscription_ = platform::Subscription(center, center.addObserver(kNeedsResize, nullptr, [this](const auto&) {
        if (panelWindow_) async([this] { resizePanelToFit(); });
    }));

    statusMenu_ = makeStatusMenu();
    services_.statusBar.createStatusItem(kStatusImageName, true, statusMenu_, *this);

    settingsPanel_ = services_.panels.makeFloatingPanel(FloatingPanelOptions{Rect{0, 0, 600, 600}, true, false, false});
    if (!defaults.boolForKey(kWelcomePassed)) openSettingsPanel();

    startTelemetry();

    updateTimer_ = services_.scheduler.mainQueue().schedule(platform::Seconds(kUpdateCheckPeriod), true,
                                                            [this] { checkForUpdatesInBackground(); });

    pinObservation_ = defaults.observe(kIsPinned, platform::ObservationOptions{true, true},
                                       [this](const platform::KeyValueChange& change) {
                                           if (change.newValue && change.newValue->isBool()) applyPinned(isPinned());
                                       });
    // A pinned panel is up from launch, but takes no keys until the user
    // presses the hot key or clicks into it.
    if (isPinned()) presentSwitcherPanel(false);

    after(kFirstUpdateCheckDelay, [this] { checkForUpdatesInBackground(); });
}

void AppDelegate::startTelemetry() {
    services_.defaults.registerDefaults({{kCrashOnExceptions, true}});
    if (services_.telemetry) services_.telemetry->start(services_.deployment.appSecret, *this);
}

bool AppDelegate::applicationShouldHandleReopen(bool) {
    presentSwitcherPanel();
    return true;
}

void AppDelegate::applyPinned(bool pinned) {
    if (!panelWindow_ || !panelWindow_->isFloatingPanel()) return;
    panelWindow_->setCloseOnLostFocus(!pinned);
    panelWindow_->setRestoreWindowPosition(pinned);
}

// --- Panels -----------------------------------------------------------------

PanelWindowPtr AppDelegate::createPanel() {
    if (!hostingView_) return services_.panels.makeWindow();
    Size size = hostingView_->fittingSize();
    bool pinned = isPinned();
    auto panel = services_.panels.makeFloatingPanel(
        FloatingPanelOptions{Rect{0, 0, size.width, size.height}, false, !pinned, pinned});
    panel->setContentView(hostingView_);
    return panel;
}

void AppDelegate::presentSwitcherPanel(bool takeKeyboard) {
    if (!panelWindow_) panelWindow_ = createPanel();
    presentPanel(panelWindow_, takeKeyboard);
}

void AppDelegate::presentPanel(const PanelWindowPtr& panel, bool takeKeyboard) {
    if (!panel) return;
    if (panel->isVisible()) {
        if (panel->isKeyWindow() || !takeKeyboard) {
            appList_.selectNext();
            return;
        }
        // A pinned panel left on screen: a switch starts here.
        panel->makeKey();
        appList_.beginShowing();
        appList_.resetSelection();
        return;
    }
    if (panel->isFloatingPanel()) {
        bool pinned = isPinned();
        panel->setCloseOnLostFocus(!pinned);
        panel->setRestoreWindowPosition(pinned);
        if (takeKeyboard) panel->makeKeyAndOrderFront();
        else panel->orderFront();
    }
    appList_.beginShowing();
    appList_.resetSelection();
    async([this] { resizePanelToFit(); });
}

bool AppDelegate::switchInProgress() const {
    return panelWindow_ && panelWindow_->isVisible() && panelWindow_->isKeyWindow();
}

void AppDelegate::endSwitch() {
    if (!panelWindow_) return;
    if (isPinned()) panelWindow_->resignKey();
    else panelWindow_->orderOut();
}

void AppDelegate::resizePanelToFit() {
    if (!hostingView_ || !panelWindow_) return;
    hostingView_->layoutIfNeeded();
    Size size = hostingView_->fittingSize();
    panelWindow_->setContentSize(Size{std::max(kMinimumPanelWidth, size.width), size.height});
}

void AppDelegate::reshowIfPinned() {
    if (!isPinned()) return;
    // Back in front, but the keyboard stays with the application just
    // activated.
    after(kActivationDelay, [this] {
        if (panelWindow_ && panelWindow_->isFloatingPanel()) panelWindow_->orderFront();
    });
}

void AppDelegate::openSettingsPanel() {
    if (!settingsPanel_) return;
    settingsPanel_->setContentView(services_.views.makeSettingsView(*this));
    settingsPanel_->makeKeyAndOrderFront();
}

void AppDelegate::closeSettingsPanel() {
    if (settingsPanel_) settingsPanel_->orderOut();
    auto& defaults = services_.defaults;
    if (defaults.boolForKey(kWelcomePassed)) return;
    defaults.set(kWelcomePassed, true);
    defaults.synchronize();
    after(kWelcomeToPanelDelay, [this] { presentSwitcherPanel(); });
}

// --- Keyboard ---------------------------------------------------------------

std::optional<Event> AppDelegate::handleKeyDown(const Event& event) {
    // Keys count only while a switch is in progress: a pinned panel left on
    // screen takes none.
    if (!switchInProgress()) return event;

    const std::uint16_t code = event.keyCode;
    // The hot key pressed again while the panel holds the keyboard reaches
    // us as a key: it moves the highlight, whatever key it is.
    if (isHotKey(event)) {
        appList_.selectNext();
        return std::nullopt;
    }
    if (isDigitRowOrKeypad(code)) {
        selectDigit(event);
        return std::nullopt;
    }
    if (handleApplicationAction(event)) return std::nullopt;
    switch (code) {
    case kKeyReturn:
        // With nothing matching the filter there is nothing to switch to.
        if (!appList_.hoveredApp()) return std::nullopt;
        endSwitch();
        appList_.activateHighlighted();
        reshowIfPinned();
        return std::nullopt;
    case kKeyTab:
    case kKeyDownArrow: appList_.selectNext(); return std::nullopt;
    case kKeyUpArrow: appList_.selectPrevious(); return std::nullopt;
    case kKeyRightArrow: appList_.setExpanded(true); return std::nullopt;
    case kKeyLeftArrow: appList_.setExpanded(false); return std::nullopt;
    case kKeyAboveTab: appList_.chooseNextWindow(!(event.modifierFlags & platform::ModifierShift)); return std::nullopt;
    case kKeyBackspace:
        if (!appList_.filter().empty()) appList_.setFilter(withoutLastCharacter(appList_.filter()));
        return std::nullopt;
    case kKeyEscape:
        // A filter goes first; the panel only when there is none.
        if (!appList_.filter().empty()) appList_.setFilter("");
        else panelWindow_->orderOut();
        return std::nullopt;
    default: break;
    }
    if (auto letter = filterLetter(event)) {
        appList_.setFilter(appList_.filter() + *letter);
        return std::nullopt;
    }
    return event;
}

namespace {

// The key's letter in the user's layout, lower case, when it has one.
std::optional<std::string> letterOf(const Event& event) {
    const std::string& text = event.charactersIgnoringModifiers;
    if (text.empty()) return std::nullopt;
    const auto first = static_cast<unsigned char>(text[0]);
    if (first < 0x80) {
        if (!std::isalpha(first)) return std::nullopt;
        return std::string(1, char(std::tolower(first)));
    }
    // Letters beyond ASCII ("é", "ж"): one UTF-8 sequence, taken as typed.
    return first >= 0xC0 ? std::optional<std::string>(text) : std::nullopt;
}

} // namespace

std::uint64_t AppDelegate::hotKeyModifiers() {
    auto shortcut = services_.hotkeys.storedShortcut(kShowFloatingPanel);
    return shortcut ? shortcut->eventModifiers : 0;
}

bool AppDelegate::handleApplicationAction(const Event& event) {
    if (!(event.modifierFlags & platform::ModifierControl)) return false;
    auto letter = letterOf(event);
    if (!letter || letter->size() != 1) return false;
    switch ((*letter)[0]) {
    case 'w': appList_.closeHighlightedWindow(); return true;
    case 'q': appList_.quitHighlighted(); return true;
    case 'm': appList_.minimizeHighlightedWindow(); return true;
    default: return false;
    }
}

std::optional<std::string> AppDelegate::filterLetter(const Event& event) {
    // Shift and the hot key's own modifiers may be held; any other
    // modifier makes the key a shortcut of somebody else's.
    constexpr std::uint64_t kCommandModifiers =
        platform::ModifierControl | platform::ModifierOption | platform::ModifierCommand;
    if (event.modifierFlags & kCommandModifiers & ~hotKeyModifiers()) return std::nullopt;
    return letterOf(event);
}

bool AppDelegate::isHotKey(const Event& event) {
    auto shortcut = services_.hotkeys.storedShortcut(kShowFloatingPanel);
    if (!shortcut || shortcut->keyCode != event.keyCode) return false;
    constexpr std::uint64_t kShortcutModifiers =
        platform::ModifierShift | platform::ModifierControl | platform::ModifierOption | platform::ModifierCommand;
    return (event.modifierFlags & kShortcutModifiers) == (shortcut->eventModifiers & kShortcutModifiers);
}

// The digit a digit-row or keypad key stands for. The key's unshifted
// character when it is a digit; otherwise, on the main digit row, the key's
// place in the row (layouts such as French AZERTY or Czech QWERTZ type
// letters and symbols there unshifted). "-" and "=" places and keypad keys
// without a digit stand for none.
static std::optional<int> digitForKey(std::uint16_t code, const std::string& text) {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') return text[0] - '0';
    switch (code) {
    case 18: return 1;
    case 19: return 2;
    case 20: return 3;
    case 21: return 4;
    case 23: return 5;
    case 22: return 6;
    case 26: return 7;
    case 28: return 8;
    case 25: return 9;
    case 29: return 0;
    default: return std::nullopt;
    }
}

void AppDelegate::selectDigit(const Event& event) {
    // Keys of the digit ranges that stand for no digit are swallowed without
    // effect.
    const auto digit = digitForKey(event.keyCode, event.charactersIgnoringModifiers);
    if (!digit) return;
    appList_.selectApp(*digit);
    // The application is taken now: a release of the hot key before the
    // delay is over would otherwise re-sort the list under the digit.
    RunningApplicationPtr app;
    auto sorted = appList_.shownApps();
    if (static_cast<std::size_t>(*digit) < sorted.size()) app = sorted[*digit];
    ++pendingDigitActivations_;
    after(kActivationDelay, [this, app] {
        --pendingDigitActivations_;
        endSwitch();
        if (app) appList_.activate(app);
        reshowIfPinned();
    });
}

std::optional<Event> AppDelegate::handleFlagsChanged(const Event& event) {
    if (services_.defaults.boolForKey(kDoNotHideWhenHotkeyIsReleased)) return event;
    auto shortcut = services_.hotkeys.storedShortcut(kShowFloatingPanel);
    if (!shortcut) return event;
    const std::uint64_t required = shortcut->eventModifiers;
    const std::uint64_t held = event.modifierFlags & platform::DeviceIndependentModifierMask;
    // Extra modifiers do not matter; only the hot key's must all be held.
    if ((held & required) == required) return event;
    // A digit's activation is on its way: the release adds nothing.
    if (pendingDigitActivations_ > 0) return event;
    if (switchInProgress()) {
        endSwitch();
        appList_.activateHighlighted();
    }
    return event;
}

// --- Menu -------------------------------------------------------------------

StatusMenu AppDelegate::makeStatusMenu() {
    auto item = [](const char* title, MenuAction action, int tag = 0) {
        return MenuItem{title, action, tag, false, true};
    };
    const MenuItem separator{"", MenuAction::None, 0, true, true};
    return StatusMenu{kMenuTitle,
                      {
                          item(kShowItemTitle, MenuAction::ShowPanel, kShowItemTag),
                          separator,
                          item("About", MenuAction::OpenAbout),
                          item("More Apps", MenuAction::MoreApps),
                          separator,
                          item("Settings", MenuAction::OpenSettings),
                          item("Check for Updates", MenuAction::CheckForUpdates),
                          separator,
                          separator,
                          item("Feedback/Contact Us", MenuAction::SendFeedback),
                          item("Subscribe to Beta Updates", MenuAction::SubscribeToBetaUpdates),
                          separator,
                          item("Quit", MenuAction::Quit),
                      }};
}

bool AppDelegate::validateMenuItem(MenuItem& item) {
    if (item.tag == kShowItemTag) {
        // With no hot key stored there is nothing to show after the name.
        auto shortcut = services_.hotkeys.storedShortcut(kShowFloatingPanel);
        item.title = shortcut ? kShowItemTitlePrefix + shortcut->description : kShowItemTitle;
        // A hot key another program holds does nothing: the menu says so.
        if (shortcut && !services_.hotkeys.isAvailable(kShowFloatingPanel)) item.title += " (unavailable)";
    }
    return true;
}

void AppDelegate::performMenuAction(MenuAction action) {
    switch (action) {
    case MenuAction::None: break;
    case MenuAction::ShowPanel: showPanel(); break;
    case MenuAction::OpenAbout: openAbout(); break;
    case MenuAction::MoreApps: moreApps(); break;
    case MenuAction::OpenSettings: openSettings(); break;
    case MenuAction::CheckForUpdates: checkForUpdates(); break;
    case MenuAction::SendFeedback: sendFeedback(); break;
    case MenuAction::SubscribeToBetaUpdates: SubscribeToBetaUpdates(); break;
    case MenuAction::Quit: quit(); break;
    }
}

void AppDelegate::showPanel() { presentSwitcherPanel(); }

void AppDelegate::openAbout() {
    if (panelWindow_ && panelWindow_->isVisible()) panelWindow_->orderOut();
    services_.shell.activateIgnoringOtherApps();
    services_.shell.orderFrontStandardAboutPanel();
}

void AppDelegate::openWebPage(const std::string& url) {
    services_.shell.activateIgnoringOtherApps();
    services_.workspace.openURL(url);
}

void AppDelegate::moreApps() { openWebPage(services_.deployment.websiteURL); }
void AppDelegate::sendFeedback() { openWebPage(services_.deployment.contactURL); }
void AppDelegate::SubscribeToBetaUpdates() { openWebPage(services_.deployment.betaFormURL); }
void AppDelegate::openSettings() { openSettingsPanel(); }
void AppDelegate::closeSettings() { closeSettingsPanel(); }
void AppDelegate::quit() { services_.shell.terminate(); }

void AppDelegate::checkForUpdates() {
    if (auto* updater = services_.updater) {
        updater->setFeedURL(services_.deployment.appcastURL);
        updater->checkForUpdates();
    }
}

void AppDelegate::checkForUpdatesInBackground() {
    if (auto* updater = services_.updater) {
        updater->setFeedURL(services_.deployment.appcastURL);
        updater->checkForUpdatesInBackground();
    }
}

} // namespace app
