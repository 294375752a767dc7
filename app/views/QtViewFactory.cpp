#include "app/views/QtViewFactory.h"

#include "app/views/BasicSettingsView.h"
#include "app/views/ContentView.h"

namespace app::views {

std::shared_ptr<HostingView> QtViewFactory::makeSwitcherView(AppDelegate& delegate, AppList& list,
                                                             const SwitcherViewOptions& options) {
    ContentView::Environment env{delegate, list, defaults_, center_, mainQueue_};
    return std::make_shared<SwitcherHostingView>(std::make_unique<ContentView>(env, options));
}

std::shared_ptr<HostingView> QtViewFactory::makeSettingsView(AppDelegate& delegate) {
    return std::make_shared<SettingsHostingView>(std::make_unique<BasicSettingsView>(delegate));
}

} // namespace app::views
