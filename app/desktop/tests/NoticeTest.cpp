#include "app/desktop/QtApplicationShell.h"
#include "app/updates/qt/QtUpdatePresenter.h"
#include "platform/UserDefaults.h"
#include "platform/headless/ManualScheduler.h"
#include "platform/linux/qt/testing/TestApplication.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

using namespace app;

namespace {

// A notice that neither blocks the panel's keys nor hides below Zelvo's
// always-on-top windows.
::testing::AssertionResult shownOnTopModeless(QWidget* notice) {
    if (!notice) return ::testing::AssertionFailure() << "no notice";
    if (!notice->isVisible()) return ::testing::AssertionFailure() << "not shown";
    if (notice->windowModality() != Qt::NonModal) return ::testing::AssertionFailure() << "modal";
    if (!(notice->windowFlags() & Qt::WindowStaysOnTopHint)) return ::testing::AssertionFailure() << "not on top";
    if (QApplication::activeModalWidget()) return ::testing::AssertionFailure() << "a modal widget is active";
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(Notices, UpdateDialogsWaitForTheSwitchToEnd) {
    platform::qt::testApplication();
    bool switching = true;
    QtUpdatePresenter presenter(nullptr);
    presenter.holdWhile([&] { return switching; });
    AppcastItem item;
    item.version = "9.9";
    item.downloadURL = "https://downloads.test/zelvo-9.9";

    presenter.showUpdateAvailable(item, "1.0");
    QPointer<QMessageBox> dialog = presenter.currentDialog();
    ASSERT_TRUE(dialog);
    presenter.gate().retry();
    EXPECT_FALSE(dialog->isVisible());

    switching = false;
    presenter.gate().retry();
    EXPECT_TRUE(shownOnTopModeless(dialog));

    // Without a switch, an answer shows at once and replaces the old one.
    presenter.showUpToDate("1.0");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog);
    EXPECT_TRUE(shownOnTopModeless(presenter.currentDialog()));
    presenter.currentDialog()->close();
}

TEST(Notices, AboutBoxIsModelessAndOnTop) {
    platform::qt::testApplication();
    platform::UserDefaults defaults;
    platform::ManualScheduler scheduler;
    desktop::QtPanelFactory panels(defaults, scheduler.mainQueue());
    desktop::QtApplicationShell shell(panels);

    bool blocked = false;
    QTimer::singleShot(0, [&blocked] {
        if (auto* modal = QApplication::activeModalWidget()) {
            blocked = true;
            modal->close();
        }
    });
    shell.orderFrontStandardAboutPanel();
    EXPECT_FALSE(blocked) << "the About box ran its own event loop";
    EXPECT_TRUE(shownOnTopModeless(shell.aboutBox()));
    // Asked again, the same box comes forward.
    QWidget* first = shell.aboutBox();
    shell.orderFrontStandardAboutPanel();
    EXPECT_EQ(shell.aboutBox(), first);
    first->close();
}
