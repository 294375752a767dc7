#pragma once

#include "app/updates/AppcastUpdateChecker.h"

#include <string>
#include <vector>

// Records what an update check shows the user, one line a call.
struct RecordingPresenter : app::UpdatePresenter {
    std::vector<std::string> calls;
    void showUpToDate(const std::string& current) override { calls.push_back("up to date " + current); }
    void showUpdateAvailable(const app::AppcastItem& item, const std::string& current) override {
        calls.push_back("update " + item.version + " " + item.downloadURL + " over " + current);
    }
    void showCheckFailed(const std::string& description) override { calls.push_back("failed: " + description); }
};

// A feed with one release of `version`, downloaded from one page.
inline std::string feed(const std::string& version) {
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:zelvo=\"https://zelvo.example/ns\"><channel>"
           "<title>Zelvo</title><item><title>Zelvo " +
           version + "</title><zelvo:version>" + version +
           "</zelvo:version><link>https://zelvo.example/download/</link></item></channel></rss>";
}
