#pragma once

#include "app/core/AppDelegate.h"
#include "app/core/testing/HeadlessAppServices.h"
#include "app/views/ContentView.h"
#include "app/views/QtViewFactory.h"
#include "platform/headless/HeadlessEventSource.h"
#include "platform/headless/HeadlessWorkspace.h"
#include "platform/headless/ManualScheduler.h"
#include "platform/linux/qt/testing/TestApplication.h"

#include <QApplication>

#include <gtest/gtest.h>

// The real Qt views over a headless delegate, workspace and virtual clock.
class ViewFixture : public ::testing::Test {
protected:
    ViewFixture() { platform::qt::testApplication(); }

    platform::HeadlessApplicationPtr launch(std::optional<std::string> name, pid_t pid) {
        platform::HeadlessApplication::Facts facts;
        facts.pid = pid;
        facts.localizedName = std::move(name);
        facts.bundleIdentifier = "app." + std::to_string(pid);
        return workspace.launch(facts);
    }

    app::views::ContentView& view() {
        if (!hosting) {
            hosting = std::dynamic_pointer_cast<app::views::SwitcherHostingView>(
                views.makeSwitcherView(delegate, delegate.appList(), app::SwitcherViewOptions{}));
            hosting->contentView().resize(400, 600);
        }
        return hosting->contentView();
    }
    app::views::ContentView& laidOutView() {
        view().layoutIfNeeded();
        return view();
    }

    platform::ManualScheduler scheduler;
    platform::HeadlessWorkspace workspace;
    platform::NotificationCenter center;
    platform::UserDefaults defaults;
    platform::HeadlessEventSource events;
    app::testing::HeadlessShell shell;
    app::testing::HeadlessPanelFactory panels;
    app::views::QtViewFactory views{defaults, center, scheduler.mainQueue()};
    app::testing::HeadlessStatusBar statusBar;
    app::testing::HeadlessHotkeys hotkeys;
    app::AppDelegate delegate{app::AppServices{scheduler, workspace, center, defaults, events,
                                               platform::Deployment::defaults(), std::string("zelvo"), shell, panels,
                                               views, statusBar, hotkeys}};
    std::shared_ptr<app::views::SwitcherHostingView> hosting;
};
