#include "app/main/DebugState.h"

#include "app/core/Preferences.h"
#include "app/desktop/FloatingPanel.h"
#include "app/desktop/SurfacePanel.h"
#include "app/settings/HotkeyStatusView.h"
#include "app/views/ContentView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace app::desktop {

DebugState::DebugState(AppDelegate& delegate)
    : delegate_(delegate), path_(qEnvironmentVariable("ZELVO_DEBUG_STATE_FILE")), firstPaints_(!path_.isEmpty()) {}

void DebugState::recordFirstPaint(double milliseconds) {
    if (firstPaints_.record(milliseconds)) changed();
}

void DebugState::changed() {
    if (!enabled() || pending_) return;
    pending_ = true;
    QTimer::singleShot(0, [this] {
        pending_ = false;
        writeNow();
    });
}

void DebugState::writeNow() {
    if (!enabled()) return;
    QJsonObject state;
    QJsonArray apps;
    auto& list = delegate_.appList();
    // The rows as the panel shows them: the filter and the desktop setting
    // applied.
    for (const auto& app : list.shownApps()) {
        QJsonObject a;
        a["name"] = QString::fromStdString(app->localizedName().value_or("App"));
        a["pid"] = int(app->processIdentifier());
        a["bundleIdentifier"] = QString::fromStdString(app->bundleIdentifier().value_or(""));
        apps.append(a);
    }
    state["apps"] = apps;
    state["filter"] = QString::fromStdString(list.filter());
    if (auto chosen = list.chosenWindow()) {
        for (const auto& w : list.windowsOf(list.hoveredApp()))
            if (w.id == *chosen) state["chosenWindow"] = QString::fromStdString(w.title);
    }
    const auto& hovered = list.hoveredApp();
    state["hovered"] = hovered ? QString::fromStdString(hovered->localizedName().value_or("App")) : QString();
    auto* panelWindow = delegate_.panelWindow().get();
    auto* panel = dynamic_cast<FloatingPanel*>(panelWindow);
    state["panelVisible"] = panelWindow && panelWindow->isVisible();
    // A panel drawn into a surface of its own: where the surface lies in the
    // compositor's layout, and its toolbar menu while that is open. Frames of
    // the views inside are in the panel's coordinates.
    QPoint viewOrigin;
    if (auto* surfacePanel = dynamic_cast<SurfacePanel*>(panelWindow)) {
        state["keyboardGrabbed"] = surfacePanel->holdsKeyboard();
        if (auto frame = surfacePanel->frame()) {
            state["panelFrame"] = QJsonArray{frame->x(), frame->y(), frame->width(), frame->height()};
            viewOrigin = frame->topLeft();
        }
        if (auto* menu = surfacePanel->menu(); menu && surfacePanel->menuOnScreen()) {
            QJsonArray items;
            const QPoint at = viewOrigin + surfacePanel->menuOrigin();
            for (const auto& [text, rect] : menu->items())
                items.append(QJsonObject{
                    {"text", text},
                    {"frame", QJsonArray{at.x() + rect.x(), at.y() + rect.y(), rect.width(), rect.height()}}});
            state["menuItems"] = items;
            state["menuHighlighted"] = menu->highlightedText();
        }
    }
    if (panel) {
        auto frame = panel->frame();
        state["panelFrame"] = QJsonArray{frame.x, frame.y, frame.width, frame.height};
        state["keyboardGrabbed"] = panel->holdsKeyboard();
        state["panelShaped"] = panel->isShaped();
    }
    // Where things are on screen, for tests that click them.
    auto globalFrame = [&](QWidget* w) {
        QPoint at = panel ? w->mapToGlobal(QPoint(0, 0)) : viewOrigin + w->mapTo(w->window(), QPoint(0, 0));
        return QJsonArray{at.x(), at.y(), w->width(), w->height()};
    };
    if (auto* hosting = dynamic_cast<views::SwitcherHostingView*>(delegate_.hostingView().get());
        hosting && panelWindow && panelWindow->isVisible()) {
        QJsonArray rows;
        for (auto* row : hosting->contentView().rows()) rows.append(globalFrame(row));
        state["rowFrames"] = rows;
        state["pinFrame"] = globalFrame(hosting->contentView().toolbar()->pinButton());
        state["menuFrame"] = globalFrame(hosting->contentView().toolbar()->menuButton());
        state["toolbarFrame"] = globalFrame(hosting->contentView().toolbar());
    }
    state["isPinned"] = delegate_.defaults().boolForKey(kIsPinned);
    auto* settings = dynamic_cast<FloatingPanel*>(delegate_.settingsPanel().get());
    state["settingsVisible"] = settings && settings->isVisible();
    if (hotkeyFacts_) state["hotkey"] = hotkeyFacts_();
    // The welcome's hot-key offer, so that tests can accept it.
    if (settings && settings->isVisible())
        for (auto* status : settings->findChildren<QWidget*>())
            if (auto* view = dynamic_cast<HotkeyStatusView*>(status); view && view->actionButton()) {
                state["hotkeyAction"] = view->actionButton()->text();
                state["hotkeyActionFrame"] = globalFrame(view->actionButton());
            }
    // Top-level windows other than the panels (the About box, update notices).
    QJsonArray others;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !dynamic_cast<FloatingPanel*>(w) && !w->testAttribute(Qt::WA_DontShowOnScreen) &&
            !w->windowTitle().isEmpty())
            others.append(w->windowTitle());
    state["otherWindows"] = others;
    QJsonArray paints;
    for (double ms : firstPaints_.times()) paints.append(ms);
    state["firstPaintMs"] = paints;
    state["pid"] = int(QCoreApplication::applicationPid());

    // Written beside and renamed over the file, so readers never see half
    // of it; not synced to disk: a state lost with the machine is of no use,
    // and a sync on the main thread stalls the switcher for tens of
    // milliseconds on a busy disk.
    const QString temporary = path_ + QStringLiteral(".new");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    const QByteArray text = QJsonDocument(state).toJson(QJsonDocument::Compact);
    const bool written = file.write(text) == text.size();
    file.close();
    if (!written || std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path_).constData()) != 0)
        QFile::remove(temporary);
}

} // namespace app::desktop
