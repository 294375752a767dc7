#include "app/desktop/DispatchingApplication.h"

#include "beacon/crashes/hooks/ApplicationForwarder.h"
#include "beacon/util/BeaconUserDefaults.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <stdexcept>

namespace app::desktop {
namespace {

// An exception thrown by an event handler reaches crash reporting's
// forwarder, and the event loop goes on.
TEST(DispatchingApplication, ExceptionsEscapingAnEventHandlerAreReportedAndTheLoopGoesOn) {
    auto store = std::make_shared<platform::UserDefaults>();
    store->registerDefaults({{beacon::ApplicationForwarder::kCrashOnExceptionsKey, true}});
    beacon::BeaconUserDefaults::setStandardStore(store);
    beacon::ApplicationForwarder::registerForwarding();
    std::vector<platform::UncaughtException> reported;
    beacon::ApplicationForwarder::setApplicationReportException(
        [&](const platform::UncaughtException& exception) { reported.push_back(exception); });

    int argc = 1;
    char name[] = "dispatching-test";
    char* argv[] = {name, nullptr};
    DispatchingApplication application(argc, argv);
    DispatchingApplication::setDispatcher(beacon::ApplicationForwarder::sendEvent);
    bool after = false;
    QTimer::singleShot(0, [] { throw std::invalid_argument("bad row"); });
    QTimer::singleShot(0, [&] {
        after = true;
        QCoreApplication::quit();
    });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(application.exec(), 0);
    EXPECT_TRUE(after);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].name, "std::invalid_argument");
    EXPECT_EQ(reported[0].reason, "bad row");

    DispatchingApplication::setDispatcher(nullptr);
    beacon::ApplicationForwarder::resetForTesting();
    beacon::BeaconUserDefaults::setStandardStore(nullptr);
}

} // namespace
} // namespace app::desktop
