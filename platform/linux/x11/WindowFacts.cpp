#include "platform/linux/x11/WindowFacts.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace platform::x11 {

std::string applicationKey(const WindowFacts& w) {
    if (w.pid > 0) return "pid:" + std::to_string(w.pid) + "@" + w.clientMachine + "/" + w.wmClass;
    if (w.leader != 0) return "leader:" + std::to_string(w.leader);
    if (!w.wmClass.empty()) return "class:" + w.wmClass;
    return "window:" + std::to_string(w.window);
}

ActivationPolicy activationPolicyOf(const std::vector<WindowFacts>& windows) {
    bool onlyDesktopOrDock = !windows.empty();
    for (const auto& w : windows) {
        bool ordinary = w.kind == WindowKind::Normal || w.kind == WindowKind::Dialog;
        if (ordinary && !w.skipTaskbar) return ActivationPolicy::Regular;
        if (w.kind != WindowKind::Dock && w.kind != WindowKind::Desktop) onlyDesktopOrDock = false;
    }
    return onlyDesktopOrDock ? ActivationPolicy::Prohibited : ActivationPolicy::Accessory;
}

std::vector<std::string> desktopIdCandidates(const WindowFacts& w) {
    std::vector<std::string> ids;
    auto add = [&](std::string id) {
        if (id.size() > 8 && id.ends_with(".desktop")) id.resize(id.size() - 8);
        if (id.empty() || id.find('/') != std::string::npos) {
            // A path in _KDE_NET_WM_DESKTOP_FILE: keep its file name.
            auto slash = id.rfind('/');
            if (slash == std::string::npos) return;
            id = id.substr(slash + 1);
            if (id.empty()) return;
        }
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    };
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    add(w.gtkApplicationId);
    add(w.kdeDesktopFile);
    add(w.wmClass);
    add(lower(w.wmClass));
    add(w.wmInstance);
    add(lower(w.wmInstance));
    return ids;
}

std::vector<WindowGroup> groupWindows(const std::vector<WindowFacts>& windows) {
    std::vector<WindowGroup> groups;
    std::map<std::string, std::size_t> index;
    for (const auto& w : windows) {
        auto key = applicationKey(w);
        auto [it, inserted] = index.emplace(key, groups.size());
        if (inserted) groups.push_back({key, {}});
        groups[it->second].windows.push_back(w);
    }
    return groups;
}

} // namespace platform::x11
